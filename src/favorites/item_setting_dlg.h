#pragma once
// The settings of one favourite: its volume and its start and end offsets,
// with its title and length for reference. A modeless window owned by the
// favourites window, filled by SetItem, hidden again by OK or Cancel.

#include <functional>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "lists/video_item.h"

class CItemSettingDlg : public fw::Dialog {
public:
    static constexpr int kMaxVolume = 100;
    static constexpr int kMaxOffset = 6000;

    CItemSettingDlg();

    // OK hands the edited item (all six fields) to this handler, normally
    // the favourites' UpdateItem.
    using UpdateHandler = std::function<void(const VideoItem&)>;
    void SetUpdateHandler(UpdateHandler handler) { onUpdate = std::move(handler); }

    // Loads a copy of `source` into the window; no volume preset is checked.
    void SetItem(const VideoItem& source);
    const VideoItem& item() const { return editing; }

protected:
    void DoDataExchange(fw::DataExchange& dx) override;
    bool OnButtonClicked(int id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    int volumeFromBox() const;

    VideoItem editing;
    int volumePreset = 0;
    UpdateHandler onUpdate;

    fw::UpDown volumeSpin;
    fw::UpDown startSpin;
    fw::UpDown endSpin;
    fw::Edit titleBox;
    fw::Static totalTimeLabel;
};
