// Real modules from the shared corpus, imported and played for a few seconds:
// the output stays finite and inside the clip.
#include <cstring>
#include <filesystem>

#include "engine_fixture.h"
#include "formats/importers.h"

namespace zelmora {
namespace {

TEST(CorpusRender, TrackerModulesPlay) {
    const std::string root = CorpusDir();
    if (root.empty()) GTEST_SKIP() << "no corpus";
    auto app = MakeEngineApp(512);
    int played = 0, sounding = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        std::string path = entry.path().string();
        if (ext != ".mod" && ext != ".xm" && ext != ".s3m") continue;
        ImportFile(*app, path.data());
        if (std::strncmp(app->statusLine, "Error: ", 7) == 0) continue;
        PlayTransport(*app, false, true);
        double energy = 0.0;
        for (int b = 0; b < 430; ++b) {  // about five seconds
            RenderBuffer(*app);
            for (int i = 0; i < 512; ++i) {
                ASSERT_TRUE(std::isfinite(app->mixLeft[i]) && std::fabs(app->mixLeft[i]) <= 1.0) << path;
                energy += app->mixLeft[i] * app->mixLeft[i] + app->mixRight[i] * app->mixRight[i];
            }
        }
        sounding += energy > 0.0;  // a few files open quietly or are not what their extension says
        ++played;
    }
    EXPECT_GT(played, 0);
    EXPECT_GE(sounding * 4, played * 3);
}

}  // namespace
}  // namespace zelmora
