// The setup window's skin controls, made once from the design's places: the image
// labels that pages are drawn from and the buttons whose clicks are commands.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "setup_ui/skin_controls.h"

class SetupControls {
 public:
    void Create(HWND window);
    void Destroy();
    bool Created() const { return !labels_.empty(); }

    // Draws the label or button of `id` into the frame being composed; nothing for
    // an id that is not one of them.
    void Draw(const SkinFrame& frame, int id) const;
    // The progress fill, stretched to `width`.
    void DrawFill(const SkinFrame& frame, int width) const;
    // A hidden button is disabled too, so that it catches no click.
    void ShowButton(int id, bool show) const;

 private:
    SkinLabel* Label(int id) const;
    SkinButton* Button(int id) const;

    std::vector<std::unique_ptr<SkinLabel>> labels_;
    std::vector<std::unique_ptr<SkinButton>> buttons_;
};
