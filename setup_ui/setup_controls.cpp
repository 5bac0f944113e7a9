#include "setup_ui/setup_controls.h"

#include "framework/text.h"
#include "setup_ui/setup_layout.h"
#include "setup_ui/skin_images.h"

using namespace setup_layout;

namespace {

const Place* FindPlace(int id) {
    for (const Place& place : kPlaces)
        if (place.id == id) return &place;
    return nullptr;
}

// Makes the control of `id` where the design places it, at its image's size.
template <typename Control>
void MakeControl(std::vector<std::unique_ptr<Control>>& controls, int id, const char* type, HWND window) {
    controls.push_back(std::unique_ptr<Control>(new Control()));
    const Place* place = FindPlace(id);
    if (!place) return;
    SkinSize size = GetSkinImageSize(text::Format("#%d", id).c_str(), type);
    controls.back()->Create(id, place->x, place->y, size.width, size.height, window);
}

}  // namespace

void SetupControls::Create(HWND window) {
    for (int i = 0; i < kLabelCount; ++i) MakeControl(labels_, kFirstLabel + i, "MAINS", window);
    for (int i = 0; i < kButtonCount; ++i) MakeControl(buttons_, kFirstButton + i, "MAINB", window);
}

void SetupControls::Destroy() {
    labels_.clear();
    buttons_.clear();
}

SkinLabel* SetupControls::Label(int id) const {
    size_t index = static_cast<size_t>(id - kFirstLabel);
    return index < labels_.size() ? labels_[index].get() : nullptr;
}

SkinButton* SetupControls::Button(int id) const {
    size_t index = static_cast<size_t>(id - kFirstButton);
    return index < buttons_.size() ? buttons_[index].get() : nullptr;
}

void SetupControls::Draw(const SkinFrame& frame, int id) const {
    if (SkinLabel* label = Label(id)) label->Draw(frame);
    if (SkinButton* button = Button(id)) button->Draw(frame);
}

void SetupControls::DrawFill(const SkinFrame& frame, int width) const {
    if (SkinLabel* fill = Label(kProgressFill)) fill->DrawStretched(frame, width);
}

void SetupControls::ShowButton(int id, bool show) const {
    SkinButton* button = Button(id);
    if (!button || !button->GetSafeHwnd()) return;
    EnableWindow(button->GetSafeHwnd(), show);
    ShowWindow(button->GetSafeHwnd(), show ? SW_SHOW : SW_HIDE);
}
