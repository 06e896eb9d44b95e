// The file browser's folder operations. Main thread.
#pragma once

namespace zelmora {

struct AppState;

// Rebuilds the list from BrowserFolder: dot-names skipped, folders first.
void ListFolder(AppState& app);
// Cuts BrowserFolder at its last separator (keeping a root), then lists it.
void ParentFolder(AppState& app);
// The system's folder chooser; lists the chosen folder, nothing on cancel.
void ChooseFolder(AppState& app);
// Enters the sub-folder or opens the file of list entry index (a double click).
void OpenBrowserEntry(AppState& app, int index);

}  // namespace zelmora
