// PLACEHOLDER: replaced by the real loader.
#include "app/app_state.h"
#include "formats/importers.h"
namespace zelmora {
void LoadModuleData(AppState& app, ByteReader) { SetStatus(app, "Error: Not Supported Fileformat."); }
void LoadModule(AppState& app, const std::string&) { SetStatus(app, "Error: Not Supported Fileformat."); }
void SaveModule(AppState& app) { SetStatus(app, "Error: Failed To Save Zelmora Module File."); }
}  // namespace zelmora
