#include "range_stream.h"

#include <wininet.h>

#include <atomic>
#include <mutex>
#include <new>

#include "com_edge.h"
#include "common/win/http_get.h"
#include "http_range.h"

namespace playerctl {

namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                         INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;

struct Handle {
    HINTERNET h = nullptr;
    explicit Handle(HINTERNET handle) : h(handle) {}
    ~Handle() {
        if (h) InternetCloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

// Time-outs only hold when set on the connection and request handles.
void SetTimeouts(HINTERNET handle) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD value = kTimeoutMs;
        InternetSetOptionW(handle, option, &value, sizeof value);
    }
}

class RangeFetcher {
public:
    explicit RangeFetcher(MediaLocation where)
        : where_(std::move(where)),
          session_(InternetOpenW(L"Clipdeck", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
          connection_(session_.h ? InternetConnectW(session_.h, where_.host.c_str(), where_.port, nullptr, nullptr,
                                                    INTERNET_SERVICE_HTTP, 0, 0)
                                 : nullptr) {
        if (connection_.h) SetTimeouts(connection_.h);
    }

    bool Fetch(std::int64_t first, std::int64_t last, std::string& body, std::int64_t& total) {
        if (!connection_.h) return false;
        Handle request(HttpOpenRequestW(connection_.h, L"GET", where_.path.c_str(), nullptr, nullptr, nullptr,
                                        kFlags, 0));
        if (!request.h) return false;
        SetTimeouts(request.h);
        std::wstring header = RangeHeader(first, last);
        if (!HttpSendRequestW(request.h, header.c_str(), static_cast<DWORD>(header.size()), nullptr, 0))
            return false;
        DWORD status = 0, size = sizeof status;
        if (!HttpQueryInfoW(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            return false;
        wchar_t range[128] = {};
        DWORD rangeSize = sizeof range - sizeof(wchar_t);
        std::string rangeText;
        if (HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_RANGE, range, &rangeSize, nullptr)) {
            for (const wchar_t* c = range; *c; ++c) rangeText.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
        }
        std::size_t wanted = static_cast<std::size_t>(last - first + 1);
        body.clear();
        body.reserve(wanted);
        char chunk[64 * 1024];
        for (;;) {
            DWORD read = 0;
            if (!InternetReadFile(request.h, chunk, sizeof chunk, &read)) return false;
            if (read == 0) break;
            if (body.size() + read > wanted) return false;  // more than we asked for
            body.append(chunk, read);
        }
        // Cut off by a close or reset, or longer than announced: broken.
        if (auto announced = common::AnnouncedLength(request.h); announced && *announced != body.size())
            return false;
        std::optional<std::int64_t> whole = CheckRangeAnswer(status, rangeText, first, last, body.size());
        if (!whole) return false;
        total = *whole;
        return true;
    }

private:
    MediaLocation where_;
    Handle session_;
    Handle connection_;
};

// Media Foundation calls these on threads of its own; each method's body
// runs inside ComEdge.
class CacheStream final : public IStream {
public:
    explicit CacheStream(std::shared_ptr<BlockCache> cache) : cache_(std::move(cache)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG count, ULONG* done) override {
        if (done) *done = 0;
        return ComEdge([&]() -> HRESULT {
            if (!out) return STG_E_INVALIDPOINTER;
            std::int64_t at;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                at = position_;
            }
            std::optional<std::size_t> n = cache_->Read(at, out, count);
            if (!n) return STG_E_READFAULT;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                position_ = at + static_cast<std::int64_t>(*n);
            }
            if (done) *done = static_cast<ULONG>(*n);
            return *n == count ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
        return ComEdge([&]() -> HRESULT {
            std::optional<std::int64_t> size = cache_->Size();
            std::lock_guard<std::mutex> lock(mutex_);
            std::int64_t base = 0;
            switch (origin) {
            case STREAM_SEEK_SET: base = 0; break;
            case STREAM_SEEK_CUR: base = position_; break;
            case STREAM_SEEK_END:
                if (!size) return STG_E_READFAULT;
                base = *size;
                break;
            default: return STG_E_INVALIDFUNCTION;
            }
            std::int64_t target = base + move.QuadPart;
            if (target < 0) return STG_E_INVALIDFUNCTION;
            position_ = target;
            if (now) now->QuadPart = static_cast<ULONGLONG>(target);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        return ComEdge([&]() -> HRESULT {
            if (!stat) return STG_E_INVALIDPOINTER;
            std::optional<std::int64_t> size = cache_->Size();
            if (!size) return STG_E_READFAULT;
            ZeroMemory(stat, sizeof *stat);
            stat->type = STGTY_STREAM;
            stat->cbSize.QuadPart = static_cast<ULONGLONG>(*size);
            stat->grfMode = STGM_READ;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return ComEdge([&]() -> HRESULT {
            std::int64_t at;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                at = position_;
            }
            auto* copy = new CacheStream(cache_);
            copy->position_ = at;
            *out = copy;
            return S_OK;
        });
    }

private:
    ~CacheStream() = default;

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<BlockCache> cache_;
    std::mutex mutex_;
    std::int64_t position_ = 0;
};

}  // namespace

std::shared_ptr<BlockCache> MakeRangeCache(const MediaLocation& where) {
    auto fetcher = std::make_shared<RangeFetcher>(where);
    return std::make_shared<BlockCache>(
        [fetcher](std::int64_t first, std::int64_t last, std::string& body, std::int64_t& total) {
            return fetcher->Fetch(first, last, body, total);
        });
}

Microsoft::WRL::ComPtr<IStream> MakeCacheStream(std::shared_ptr<BlockCache> cache) {
    Microsoft::WRL::ComPtr<IStream> stream;
    // Attach: the new object already holds the one reference.
    stream.Attach(new (std::nothrow) CacheStream(std::move(cache)));
    return stream;
}

}  // namespace playerctl
