#include "ui/win32/clipboard.h"

#include <cstring>
#include <memory>
#include <string>

#include "stream/utf8_path.h"
#include "ui/properties.h"

namespace bq::win32 {
namespace {

struct GlobalDeleter {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};
using UniqueGlobal = std::unique_ptr<void, GlobalDeleter>;

// Open for as long as the object lives.
class OpenClipboardScope {
  public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (open_) {
            CloseClipboard();
        }
    }
    bool open() const { return open_; }

  private:
    bool open_;
};

}  // namespace

bool copyTextToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = widen(withCrLf(text));
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        return false;
    }
    void* target = GlobalLock(memory.get());
    if (target == nullptr) {
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory.get());
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.open() || !EmptyClipboard() ||
        SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) {
        return false;
    }
    // The clipboard owns the memory now.
    memory.release();
    return true;
}

}  // namespace bq::win32
