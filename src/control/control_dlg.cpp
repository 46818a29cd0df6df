#include "control/control_dlg.h"

#include <vector>

#include "control/readouts.h"
#include "control/settings.h"
#include "control/window_place.h"
#include "core/startup_marks.h"
#include "core/trace.h"
#include "framework/errors.h"
#include "player/quality_dlg.h"
#include "res/resource.h"
#include "videoinfo/video_info_fetch.h"
#include "videoinfo/video_info_parse.h"
#include "videoinfo/video_ref.h"

namespace {

constexpr COLORREF kReadoutText = RGB(0, 255, 255);
constexpr int kSeekBackSeconds = 10;
constexpr int kSeekForwardSeconds = 30;
constexpr double kEndLeadSeconds = 0.5;

bool isReadout(int id) {
    switch (id) {
    case IDT_CONTROL_TIME:
    case IDT_CONTROL_STATUS:
    case IDT_CONTROL_QUALITY:
    case IDT_CONTROL_VOLUME:
    case IDT_CONTROL_TITLE:
        return true;
    default:
        return false;
    }
}

Box BoxOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

void MoveTo(const fw::Window& window, int x, int y) {
    ::SetWindowPos(window.hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A list window goes back where it was left, unless no monitor shows that
// place any longer: then it is placed anew when it is first shown.
void RestorePlace(const fw::Window& window, RECT& place) {
    if (!HasPlace(place)) return;
    if (!::MonitorFromRect(&place, MONITOR_DEFAULTTONULL)) {
        place = RECT{0, 0, 0, 0};
        return;
    }
    MoveTo(window, place.left, place.top);
}

// Rewrites a label only when its text changes, so the read-outs don't flicker.
void setTextIfChanged(const fw::Window& label, const std::wstring& text) {
    if (label.GetText() == text) return;
    label.SetText(text);
    label.Invalidate();
    label.Update();
}

}  // namespace

CControlDlg::CControlDlg() : fw::Dialog(IDD_CONTROL), readoutBrush(::CreateSolidBrush(RGB(0, 0, 0))) {}

CControlDlg::~CControlDlg() { ::DeleteObject(readoutBrush); }

void CControlDlg::DoDataExchange(fw::DataExchange& dx) {
    dx.Text(IDE_CONTROL_VIDEOREF, videoRef);
    dx.Check(IDX_CONTROL_MUTE, muteChecked);
    dx.Control(IDP_CONTROL_POSITION, positionBar);
    dx.Control(IDP_CONTROL_LOADED, loadedBar);
    dx.Control(IDK_CONTROL_VOLUME, volumeSlider);
    dx.Control(IDX_CONTROL_MUTE, muteBox);
    dx.Control(IDT_CONTROL_STATUS, statusLabel);
    dx.Control(IDX_CONTROL_LISTPLAY, listPlayBox);
    dx.Control(IDT_CONTROL_QUALITY, qualityLabel);
    dx.Control(IDE_CONTROL_VIDEOREF, refBox);
    dx.Control(IDT_CONTROL_TITLE, titleLine);
    dx.Control(IDT_CONTROL_VOLUME, volumeLabel);
    dx.Control(IDX_CONTROL_FRAME, frameBox);
    dx.Control(IDX_CONTROL_TOPMOST, topMostBox);
    dx.Control(IDT_CONTROL_TIME, timeLabel);
}

bool CControlDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    Settings settings;
    LoadSettings(settings);
    videoRef = settings.videoRef;
    playerRect = settings.playerRect;
    favoritesRect = settings.favoritesRect;
    historyRect = settings.historyRect;
    StartupMark("settings read");
    UpdateData(false);
    bridge().addListener(this);
    playerDlg.Create(nullptr);
    playerDlg.Show(SW_HIDE);
    if (playerRect.left != playerRect.right) {
        playerDlg.Move(playerRect.left, playerRect.top, playerRect.right - playerRect.left,
                       playerRect.bottom - playerRect.top, true);
    }
    StartupMark("player window created");
    SetTimer(kListWindowsTimer, kListWindowsDelayMs);
    positionBar.SetRange(0, 100);
    loadedBar.SetRange(0, 100);
    volumeSlider.SetRange(0, 100, false);
    volumeSlider.SetPos(20, true);
    // The template's labels carry placeholder text until there is something
    // to show.
    timeLabel.SetText(L"");
    qualityLabel.SetText(L"");
    showStatus();
    setTitleLine(L" Now player Loading ..");
    frameBox.SetCheck(true);
    return true;
}

void CControlDlg::createListWindows() {
    if (listWindowsMade || !hwnd_) return;
    listWindowsMade = true;
    // The list windows stand on their own on the desktop, hidden until asked
    // for.
    historyDlg.controller = this;
    historyDlg.Create(::GetDesktopWindow());
    historyDlg.Show(SW_HIDE);
    RestorePlace(historyDlg, historyRect);
    favoriteDlg.controller = this;
    favoriteDlg.Create(::GetDesktopWindow());
    favoriteDlg.Show(SW_HIDE);
    RestorePlace(favoriteDlg, favoritesRect);
    StartupMark("list windows created");
}

void CControlDlg::showListWindow(fw::Dialog& window, RECT& place, const fw::Dialog& other) {
    if (!HasPlace(place)) {
        const fw::Window main(::GetAncestor(hwnd_, GA_ROOT));
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(main.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
        std::vector<Box> avoid;
        if (playerDlg.IsVisible()) avoid.push_back(BoxOf(playerDlg.WindowRect()));
        if (other.IsVisible()) avoid.push_back(BoxOf(other.WindowRect()));
        const Box size = BoxOf(window.WindowRect());
        const Box at = PlaceBeside(BoxOf(main.WindowRect()), size.width(), size.height(), BoxOf(monitor.rcWork), avoid);
        MoveTo(window, at.left, at.top);
        place = window.WindowRect();
    }
    window.Show(SW_SHOW);
}

bool CControlDlg::DestroyWindow() {
    if (!hwnd_) return false;
    KillTimer(kPollTimer);
    KillTimer(kListWindowsTimer);
    if (playerDlg.hwnd()) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (::GetWindowPlacement(playerDlg.hwnd(), &placement)) playerRect = placement.rcNormalPosition;
        playerDlg.DestroyWindow();
    }
    // The list windows are kept where the user left them.
    if (HasPlace(favoritesRect) && favoriteDlg.hwnd()) favoritesRect = favoriteDlg.WindowRect();
    if (HasPlace(historyRect) && historyDlg.hwnd()) historyRect = historyDlg.WindowRect();
    favoriteDlg.DestroyWindow();
    historyDlg.DestroyWindow();
    UpdateData(true);
    SaveSettings({videoRef, playerRect, favoritesRect, historyRect});
    return fw::Dialog::DestroyWindow();
}

void CControlDlg::OnOK() {}
void CControlDlg::OnCancel() {}

bool CControlDlg::OnButtonClicked(int id) {
    switch (id) {
    case IDB_CONTROL_PLAY: onPlay(); return true;
    case IDB_CONTROL_PAUSE: bridge().pauseVideo(); return true;
    case IDB_CONTROL_STOP: bridge().stopVideo(); return true;
    case IDB_CONTROL_TOSTART: bridge().seekToStart(); return true;
    case IDB_CONTROL_BACK: onBack(); return true;
    case IDB_CONTROL_FORWARD: onForward(); return true;
    case IDB_CONTROL_NEXT: onNext(); return true;
    case IDX_CONTROL_MUTE: onMute(); return true;
    case IDX_CONTROL_FRAME:
        if (frameBox.IsChecked()) {
            playerDlg.frameOn();
        } else {
            playerDlg.frameOff();
        }
        return true;
    case IDX_CONTROL_TOPMOST: playerDlg.setTopMost(topMostBox.IsChecked()); return true;
    case IDB_CONTROL_ASPECT43: playerDlg.setAspect(4, 3); return true;
    case IDB_CONTROL_ASPECT169: playerDlg.setAspect(16, 9); return true;
    case IDB_CONTROL_QUALITY: RunQualitySelection(bridge(), hwnd_); return true;
    case IDX_CONTROL_LISTPLAY: onListPlay(); return true;
    case IDB_CONTROL_PREV: onPrev(); return true;
    case IDB_CONTROL_FAVORITE: showListWindow(favorites(), favoritesRect, historyDlg); return true;
    case IDB_CONTROL_HISTORY: showListWindow(history(), historyRect, favoriteDlg); return true;
    default:
        return false;
    }
}

bool CControlDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_CTLCOLORSTATIC: {
        int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (!isReadout(id)) return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, kReadoutText);
        result = reinterpret_cast<LRESULT>(readoutBrush);
        return true;
    }
    case kMsgLoadGivenReference:
        if (!referenceGiven || !playerReady) return true;
        referenceGiven = false;
        loadTypedReference();
        return true;
    default:
        return false;
    }
}

void CControlDlg::OnTimer(UINT_PTR id) {
    switch (id) {
    case kPollTimer: Poll(); return;
    case kListWindowsTimer:
        KillTimer(kListWindowsTimer);
        createListWindows();
        return;
    default: return;
    }
}

// --- player events --------------------------------------------------------

void CControlDlg::onPlayerReady() {
    SetTimer(kPollTimer, kPollPeriodMs);
    setTitleLine(L" player Load Complete!");
    StartupMark("player loaded");
    playerDlg.Show(SW_SHOW);
    playerReady = true;
    if (referenceGiven) ::PostMessageW(hwnd_, kMsgLoadGivenReference, 0, 0);
}

void CControlDlg::LoadReference(const std::wstring& text) {
    refBox.SetText(text);
    referenceGiven = true;
    if (playerReady) ::PostMessageW(hwnd_, kMsgLoadGivenReference, 0, 0);
}

void CControlDlg::OnError(long code) {
    Trace(L"ContolDlg::OnError(%ld)\r\n", code);
    setTitleLine(ErrorText(code));
}

void CControlDlg::onStateChange(long state) {
    Trace(L"ContolDlg::onStateChange(%ld)\r\n", state);
    lastState = static_cast<int>(state);
    showStatus();
    if (state != 0) return;
    if (listPlayBox.IsChecked()) {
        // In list play the player is never stopped: the next favourite
        // replaces the video, or list play ends and leaves it as it is.
        playNextInList();
        return;
    }
    bridge().stopVideo();
}

void CControlDlg::onPlaybackQualityChange(std::wstring quality) {
    Trace(L"ContolDlg::onPlaybackQualityChange(%ls)\r\n", quality.c_str());
    qualityLabel.SetText(quality);
}

// --- commands -------------------------------------------------------------

std::wstring CControlDlg::CurrentVideoId() {
    if (lastState == -1) return {};
    return VideoIdFromUrl(bridge().getVideoUrl());
}

void CControlDlg::onPlay() {
    std::wstring id = CurrentVideoId();
    if (id.empty() || refBox.GetText() != id) {
        loadTypedReference();
        return;
    }
    if (lastState == 5) {
        bridge().seekToStart();
    } else {
        bridge().playVideo();
    }
}

void CControlDlg::loadTypedReference() {
    videoRef = refBox.GetText();
    if (videoRef.empty()) {
        fw::ShowMessage(hwnd_, L"VideoID / URLが設定されていません");
        return;
    }
    std::wstring id = ParseVideoRef(videoRef);
    if (id.empty()) {
        fw::ShowMessage(hwnd_, L"VideoID / URLの形式に誤りがあります。");
        return;
    }
    std::wstring reply;
    if (FetchVideoInfo(id, &reply) != 0) {
        fw::ShowMessage(hwnd_, L"Vidoeデータが取得できません。");
        return;
    }
    std::wstring title = ParseTitle(reply);
    if (title.empty()) {
        fw::ShowMessage(hwnd_, L"Video titleデータが取得できません");
        return;
    }
    const int duration = ParseDuration(reply);
    bridge().loadVideoById(id);
    endOffset = 0;
    VideoItem played;
    played.videoId = id;
    played.title = title;
    played.duration = duration;
    history().AddHistory(played);
    if (id != videoRef) setReference(id);
    setTitleLine(L" " + title);
}

void CControlDlg::onBack() {
    double t = bridge().getCurrentTime() - kSeekBackSeconds;
    bridge().seekTo(t >= 0 ? t : 0);
}

void CControlDlg::onForward() {
    double duration = bridge().getDuration();
    double current = bridge().getCurrentTime();
    if (duration < current + kSeekForwardSeconds) {
        onNext();
        return;
    }
    bridge().seekTo(current + kSeekForwardSeconds);
}

void CControlDlg::onNext() {
    VideoItem item;
    if (listPlayBox.IsChecked() && favorites().favorites().NextItem(item)) {
        bridge().stopVideo();
        PlayItem(item);
        return;
    }
    // Without a next favourite, seek to just before the end so that the
    // video ends by itself (and, in list play, the first favourite follows).
    bridge().seekTo(bridge().getDuration() - kEndLeadSeconds);
}

void CControlDlg::onPrev() {
    VideoItem item;
    if (!listPlayBox.IsChecked() || !favorites().favorites().PrevItem(item)) return;
    bridge().stopVideo();
    PlayItem(item);
}

void CControlDlg::onMute() {
    UpdateData(true);
    bool muted = bridge().isMuted();
    if (muted == (muteChecked == 1)) return;
    if (muteChecked == 1) {
        bridge().mute();
    } else {
        bridge().unMute();
    }
}

void CControlDlg::onListPlay() {
    if (listPlayBox.IsChecked()) {
        if (favorites().favorites().count() == 0) {
            listPlayBox.SetCheck(false);
        } else {
            StartListPlay();
        }
        return;
    }
    favorites().favorites().SetCurrentIndex(-1);
    favorites().Redraw();
}

// --- list play and the list windows -----------------------------------------

void CControlDlg::PlayItem(VideoItem item) {
    bridge().stopVideo();
    bridge().loadVideoById(item.videoId, item.startPos);
    videoRef = item.videoId;
    endOffset = item.endPos;
    history().AddHistory(item);
    setReference(videoRef);
    setTitleLine(L" " + item.title);
    // The next tick hands the new volume to the player.
    volumeSlider.SetPos(100 - item.volume, true);
}

void CControlDlg::StartListPlay() {
    FavoriteStore& favorites = this->favorites().favorites();
    favorites.SetCurrentIndex(-1);
    VideoItem item;
    if (favorites.NextItem(item)) PlayItem(item);
    listPlayBox.SetCheck(true);
}

void CControlDlg::AddFavorite(const VideoItem& item) { favorites().favorites().AddItem(item); }

void CControlDlg::playNextInList() {
    VideoItem item;
    if (favorites().favorites().NextItem(item)) {
        PlayItem(item);
    } else {
        listPlayBox.SetCheck(false);
    }
}

void CControlDlg::setReference(const std::wstring& id) {
    videoRef = id;
    refBox.SetText(id);
    refBox.Invalidate();
    refBox.Update();
}

void CControlDlg::showStatus() {
    statusLabel.SetText(StatusText(lastState));
    statusLabel.Invalidate();
    statusLabel.Update();
}

void CControlDlg::setTitleLine(const std::wstring& text) {
    titleLine.SetText(text);
    titleLine.Invalidate();
    titleLine.Update();
}

// --- polling ----------------------------------------------------------------

void CControlDlg::Poll() {
    pollLoaded();
    pollTime();
    pollVolume();
}

void CControlDlg::pollLoaded() {
    long loaded = bridge().getVideoBytesLoaded();
    long start = bridge().getVideoStartBytes();
    long total = bridge().getVideoBytesTotal();
    std::optional<int> p = LoadedPercent(loaded, start, total);
    if (p && loadedBar.GetPos() != *p) loadedBar.SetPos(*p);
}

void CControlDlg::pollTime() {
    double d = bridge().getDuration();
    double c = bridge().getCurrentTime();
    std::optional<int> p = PositionPercent(c, d);
    if (p && positionBar.GetPos() != *p) positionBar.SetPos(*p);
    setTextIfChanged(timeLabel, d < 0 ? std::wstring(kNoTimeText) : TimeText(c, d));
    if (EndOffsetReached(lastState, c, d, endOffset)) onStateChange(0);
}

void CControlDlg::pollVolume() {
    std::wstring text;
    if (muteBox.IsChecked()) {
        text = L"0";
    } else {
        int v = 100 - volumeSlider.GetPos();
        if (v != bridge().getVolume()) bridge().setVolume(v);
        text = std::to_wstring(v);
    }
    setTextIfChanged(volumeLabel, text);
}
