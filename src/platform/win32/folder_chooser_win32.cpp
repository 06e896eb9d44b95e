// The folder chooser of Windows: the shell's folder dialog, owned by the main
// window (or the active one, before the shell has named it).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "platform/folder_chooser.h"
#include "ui/shell_services.h"

namespace zelmora {

bool ChooseFolderWin32(char* folder, std::size_t size, char* status, std::size_t statusSize) {
    if (statusSize > 0) status[0] = '\0';
    if (!folder || size == 0) return false;
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = Shell().window ? static_cast<HWND>(Shell().window) : GetActiveWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = "Select Folder";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    // The new dialog style needs the object runtime on this thread; an
    // existing initialisation of another kind is used as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    char path[MAX_PATH] = {};
    const bool found = item && SHGetPathFromIDListA(item, path) != FALSE;
    if (item) CoTaskMemFree(item);  // the shell's allocator
    if (SUCCEEDED(com)) CoUninitialize();
    if (!item) return false;  // cancelled
    if (!found || path[0] == '\0') {
        if (statusSize > 0) std::snprintf(status, statusSize, "%s", "Error: Not A File System Folder.");
        return false;
    }
    const std::size_t length = std::strlen(path);
    // SANITY: a path that does not fit the caller's buffer is refused, not cut.
    if (length >= size) {
        if (statusSize > 0) std::snprintf(status, statusSize, "%s", "Error: Path Too Long.");
        return false;
    }
    std::memcpy(folder, path, length + 1);
    return true;
}

}  // namespace zelmora
