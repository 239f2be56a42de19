#pragma once
// Standard controls: push button, label, group box and the combo-box base.
#include <windows.h>

#include <string>

#include "Controls.h"
#include "Forms.h"

// The accelerator of a caption: the character after a single "&" ("&&" is a literal "&").
bool IsAccel(WORD ch, const std::string& caption);

// ---------------------------------------------------------------------------------------------
// TButton: the system push button. Enter presses the default button unless the focus is on
// another button; Esc presses the cancel button; a click puts ModalResult into the form.

class TButton : public TWinControl {
    KERVO_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);

    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    // True while Enter presses this button.
    bool IsActive() const { return active_; }

    void Click() override;
    void HandleWindowMessage(TMessage& message) override;

protected:
    void AdjustCreateParams(TCreateParams& params) override;

private:
    void SetButtonStyle(bool defaultStyle);

    bool default_ = false;
    bool cancel_ = false;
    bool active_ = false;
    TModalResult modalResult_ = mrNone;
};

// ---------------------------------------------------------------------------------------------
// TLabel: windowless text in the parent's font.

class TLabel : public TGraphicControl {
    KERVO_CLASS(TLabel, TGraphicControl)
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);

    void HandleWindowMessage(TMessage& message) override;

protected:
    void Paint() override;
    void AfterLoad() override;

private:
    UINT TextFlags() const;
    void AdjustBounds();

    bool autoSize_ = true;
    bool transparent_ = false;
    bool wordWrap_ = false;
};

// ---------------------------------------------------------------------------------------------
// TGroupBox: an etched frame with a caption, holding other controls (windowed and windowless).

class TGroupBox : public TWinControl {
    KERVO_CLASS(TGroupBox, TWinControl)
public:
    explicit TGroupBox(TComponent* owner);
    void HandleWindowMessage(TMessage& message) override;

protected:
    void PaintWindow(HDC dc) override;
};
