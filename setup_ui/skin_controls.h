// Image-only labels and buttons of the setup window. They are real child windows
// (so the button gets the system's press and click handling) but never paint on
// the screen: the setup window draws their images into its frame.
#pragma once

#include <windows.h>

#include <string>

class SkinFrame;

class SkinControl {
 public:
    virtual ~SkinControl();
    SkinControl(const SkinControl&) = delete;
    SkinControl& operator=(const SkinControl&) = delete;

    HWND GetSafeHwnd() const { return window_; }

    HWND parentWindow = nullptr;
    std::string imageName;  // the resource name, "#" and the control id
    int x = 0, y = 0, cx = 0, cy = 0;

 protected:
    SkinControl() = default;
    // Creates the child window of `className` with the id and place given, and
    // routes its messages through HandleMessage.
    bool CreateControl(const char* className, int id, int left, int top, int width, int height, HWND parent);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // Draws the image `imageName` of `type` into the frame being composed, at `width`.
    void DrawInto(const SkinFrame& frame, const char* type, int width, bool tinted) const;

    HWND window_ = nullptr;

 private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC original_ = nullptr;
};

class SkinLabel : public SkinControl {
 public:
    bool Create(int id, int left, int top, int width, int height, HWND parent);
    void Draw(const SkinFrame& frame) const;
    // Stretched or squeezed horizontally to `width`, at full height.
    void DrawStretched(const SkinFrame& frame, int width) const;
};

class SkinButton : public SkinControl {
 public:
    SkinButton();
    bool Create(int id, int left, int top, int width, int height, HWND parent);
    // Drawn with the pressed tint (red kept, green and blue halved) while held.
    void Draw(const SkinFrame& frame) const;

    int pressed = 0;
    HCURSOR handCursor;

 protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
