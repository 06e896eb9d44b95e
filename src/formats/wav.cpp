// PLACEHOLDER: replaced by the real importer.
#include "app/app_state.h"
#include "formats/importers.h"

namespace zelmora {

void ImportWavData(AppState& app, ByteReader, const std::string&) { SetStatus(app, "Error: Not Supported Fileformat."); }
void ImportWav(AppState& app, const std::string&) { SetStatus(app, "Error: Not Supported Fileformat."); }

}  // namespace zelmora
