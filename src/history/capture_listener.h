#pragma once
// The one thing browser capture tells anyone: the watched address bar shows
// a new text. The listener reads it back from the capture object.

class CCaptureStreamIDListener {
public:
    virtual void OnAddressCaptured() = 0;

protected:
    ~CCaptureStreamIDListener() = default;
};
