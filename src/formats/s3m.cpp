// PLACEHOLDER: replaced by the real importer.
#include "app/app_state.h"
#include "formats/importers.h"

namespace zelmora {

void ImportS3mData(AppState& app, ByteReader) { SetStatus(app, "Error: Not Supported Fileformat."); }
void ImportS3m(AppState& app, const std::string&) { SetStatus(app, "Error: Not Supported Fileformat."); }

}  // namespace zelmora
