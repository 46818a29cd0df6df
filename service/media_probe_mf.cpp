// ProbeMedia on Windows: Media Foundation, the media stack the player itself
// decodes with, reads the file's header. Asking its reader for the pictures
// the player asks for (NV12) tells at once whether this system decodes the
// video at all. Titles and artists come from the source's property store
// where the system gives one (Wine's media sources do not: there the title
// is the file's name).

#include "media.h"

#include <initguid.h>  // the PKEY_ values, defined in this file

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mferror.h>
#include <mfreadwrite.h>
#include <propkey.h>
#include <propsys.h>
#include <propvarutil.h>
#include <wrl/client.h>

#include <cstdio>
#include <mutex>

#include "common/utf8.h"

namespace clipdeck::service {

namespace {

using Microsoft::WRL::ComPtr;

// Media Foundation is started once for the process and left running; COM
// once for each thread that reads media (the main one and the library's).
void EnsureStarted() {
    static std::once_flag started;
    std::call_once(started, [] { MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET); });
    thread_local const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (void)com;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string OpenFailure(HRESULT hr) {
    switch (hr) {
    case MF_E_UNSUPPORTED_BYTESTREAM_TYPE:
    case MF_E_UNSUPPORTED_FORMAT:
        return "not a media file Media Foundation can open (" + Hex(hr) + ")";
    case MF_E_INVALIDMEDIATYPE:
    case MF_E_TOPO_CODEC_NOT_FOUND:
        return "its video is in a format this system cannot decode (" + Hex(hr) + ")";
    default:
        return "Media Foundation cannot open it (" + Hex(hr) + ")";
    }
}

std::string Text(IPropertyStore* store, const PROPERTYKEY& key) {
    PROPVARIANT value;
    PropVariantInit(&value);
    std::string text;
    wchar_t* wide = nullptr;
    if (SUCCEEDED(store->GetValue(key, &value)) && value.vt != VT_EMPTY &&
        SUCCEEDED(PropVariantToStringAlloc(value, &wide))) {
        text = CleanMediaText(common::Utf16ToUtf8(wide));
        CoTaskMemFree(wide);
    }
    PropVariantClear(&value);
    return text;
}

}  // namespace

std::optional<MediaProbe> ProbeMedia(const std::string& path, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<MediaProbe> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    EnsureStarted();
    ComPtr<IMFSourceReader> reader;
    const HRESULT opened = MFCreateSourceReaderFromURL(common::Utf8ToUtf16(path).c_str(), nullptr, &reader);
    if (FAILED(opened)) return fail(OpenFailure(opened));

    ComPtr<IMFMediaType> native;
    if (FAILED(reader->GetNativeMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &native)))
        return fail("holds no video stream");
    UINT32 width = 0, height = 0;
    MFGetAttributeSize(native.Get(), MF_MT_FRAME_SIZE, &width, &height);
    MediaProbe probe;
    probe.height = static_cast<int>(height);
    if (probe.height <= 0) return fail("its video stream has no picture size");

    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(reader->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION, &duration)) &&
        duration.vt == VT_UI8 && duration.uhVal.QuadPart > 0) {
        probe.seconds = static_cast<double>(duration.uhVal.QuadPart) / 1e7;  // 100 ns units
    }
    PropVariantClear(&duration);
    if (!(probe.seconds > 0)) return fail("has no known length");

    ComPtr<IMFMediaType> pictures;
    if (SUCCEEDED(MFCreateMediaType(&pictures))) {
        pictures->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        pictures->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12);
        const HRESULT decodes = reader->SetCurrentMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM, nullptr, pictures.Get());
        if (FAILED(decodes))
            probe.problem = "this system has no decoder for its video (" + Hex(decodes) + "); the player cannot show it";
    }

    ComPtr<IPropertyStore> store;
    if (SUCCEEDED(reader->GetServiceForStream(MF_SOURCE_READER_MEDIASOURCE, MF_PROPERTY_HANDLER_SERVICE,
                                              IID_PPV_ARGS(&store)))) {
        probe.title = Text(store.Get(), PKEY_Title);
        probe.artist = Text(store.Get(), PKEY_Music_Artist);
    }
    return probe;
}

}  // namespace clipdeck::service
