#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bq {

// File names live in buffers of this many UTF-16 units, terminator included.
constexpr std::size_t kPathBufferSize = 260;

// Option values of the file dialogs (the Win32 OFN_ flags).
constexpr std::uint32_t kOfnOverwritePrompt = 0x2;
constexpr std::uint32_t kOfnPathMustExist = 0x800;
constexpr std::uint32_t kOfnFileMustExist = 0x1000;
constexpr std::uint32_t kOfnExplorer = 0x80000;
constexpr std::uint32_t kOpenDialogOptions = kOfnExplorer | kOfnPathMustExist | kOfnFileMustExist;
constexpr std::uint32_t kSaveDialogOptions = kOfnExplorer | kOfnPathMustExist | kOfnOverwritePrompt;

struct FileFilter {
    std::string name;     // "JP2 files"
    std::string pattern;  // "*.jp2;*.jpx"
};

struct FileDialogRequest {
    std::vector<FileFilter> filters;  // the first one is preselected
    std::string initialName;          // what the name buffer holds when the dialog opens
    std::uint32_t options = 0;
};

constexpr std::string_view kConfirmationCaption = "Confirmation";
constexpr std::string_view kErrorCaption = "Boxquill - Error!";

// Everything the editor asks of the windowing system. The Win32 program maps it onto
// message boxes, common dialogs and controls; tests and the command line script it.
class Platform {
  public:
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    virtual ~Platform() = default;

    // A Yes/No box owned by the main window; true only for Yes.
    virtual bool askYesNo(std::string_view caption, std::string_view text) = 0;
    // A modal error box with an OK button.
    virtual void showErrorBox(std::string_view caption, std::string_view text) = 0;
    // The chosen path, or none on cancel.
    virtual std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) = 0;
    // The id of the button that ended the Add dialog (2 for Cancel).
    virtual int runAddDialog() = 0;
    virtual void setTitle(std::string_view title) = 0;
    virtual void setControlText(int id, std::string_view text) = 0;
    virtual std::string controlText(int id) = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    virtual bool isControlEnabled(int id) = 0;
    virtual void setReadOnly(int id, bool readOnly) = 0;
};

}  // namespace bq
