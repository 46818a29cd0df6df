#pragma once
// The one thing browser capture tells anyone: the watched address bar shows
// a new text, `address`.

#include <string>

class CCaptureStreamIDListener {
public:
    virtual void OnAddressCaptured(const std::wstring& address) = 0;

protected:
    ~CCaptureStreamIDListener() = default;
};
