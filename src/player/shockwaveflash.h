#pragma once
// Wrapper of the player control (control 1000 of the player window): its
// three methods by dispatch ID. A rejected call raises fw::DispatchError.

#include <string>

#include "framework/window.h"

class CShockwaveflash : public fw::Window {
public:
    void LoadMovie(long layer, const std::wstring& url);
    std::wstring CallFunction(const std::wstring& request);
    void SetReturnValue(const std::wstring& answer);
};
