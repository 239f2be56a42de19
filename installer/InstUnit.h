#pragma once
// The installer Instkervo: one small window with a group box and three buttons that register
// or unregister the band library beside the installer and clear the shell's cached lists of
// band-category members around each call.
#include "miniwin.h"

// Holder of the installer's window and controls; freed with the window (auto-free list).
class TInstallForm : public miniwin::TMiniObject {
public:
    miniwin::TMiniControl* Window = nullptr;
    miniwin::TMiniControl* InstallGroup = nullptr;
    miniwin::TMiniControl* RegisterBtn = nullptr;
    miniwin::TMiniControl* UnregisterBtn = nullptr;
    miniwin::TMiniControl* CloseBtn = nullptr;

    void RegisterBtnClick(miniwin::TMiniObject* sender);
    void UnregisterBtnClick(miniwin::TMiniObject* sender);
    void CloseBtnClick(miniwin::TMiniObject* sender);
};

extern TInstallForm* InstallForm;

// Builds the holder, the window (handle made, still hidden) and its controls.
void CreateInstallForm(TInstallForm*& form, miniwin::TMiniControl* parent);

// The band library's path: "kervodll.dll" in the installer's own folder. Wide: in a folder whose
// name the code page cannot spell, the ANSI path of the program names a folder that is not there.
std::wstring BandLibraryPath();

// Deletes the shell's cached member lists of the band categories. Reports nothing.
void ClearBandCategoryCache();
