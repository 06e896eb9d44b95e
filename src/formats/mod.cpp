// PLACEHOLDER: replaced by the real loader.
#include "app/app_state.h"
#include "formats/importers.h"
namespace zelmora {
void ImportModData(AppState& app, ByteReader) { SetStatus(app, "Error: Not Supported Fileformat."); }
void ImportMod(AppState& app, const std::string&) { SetStatus(app, "Error: Not Supported Fileformat."); }
}  // namespace zelmora
