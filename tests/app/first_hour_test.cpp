// What a new user meets in the first hour, checked as a whole: every example
// runs clean and shows something, the README names each with its command,
// and every binding the program registers is in docs/lua-api.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "support/headless.h"

namespace {

const std::string kSource = REVEV_SOURCE_DIR;

// Every folder of examples/, so that a new one is checked without a word here.
std::vector<std::string> ExampleFolders() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kSource + "/examples"))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The number of distinct colours of a PNG's pixels, up to 2; 0 when it
// cannot be read.
int Colours(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    ImageBuffer image;
    if (!ReadPng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "shot.png", kNoColourKey, image))
        return 0;
    for (size_t i = 4; i + 4 <= image.pixels.size(); i += 4)
        if (!std::equal(&image.pixels[i], &image.pixels[i + 4], &image.pixels[0])) return 2;
    return image.pixels.empty() ? 0 : 1;
}

// The bindings named in the first cell of a table row of the API document.
std::set<std::string> DocumentedBindings() {
    std::set<std::string> names;
    std::istringstream doc(ReadWholeFile(kSource + "/docs/lua-api.md"));
    std::string line;
    while (std::getline(doc, line)) {
        if (line.rfind("| `", 0) != 0) continue;
        std::string cell = line.substr(0, line.find(" |", 2));
        for (size_t at = cell.find("`Lua_"); at != std::string::npos; at = cell.find("`Lua_", at + 1)) {
            size_t end = cell.find_first_of("(`", at + 1);
            if (end != std::string::npos) names.insert(cell.substr(at + 1, end - at - 1));
        }
    }
    return names;
}

}  // namespace

TEST(FirstHour, EveryExampleRunsCleanAndIsNotBlank) {
    const std::string dir = UseScratchTempDirectory();
    const std::vector<std::string> examples = ExampleFolders();
    ASSERT_FALSE(examples.empty());
    for (const std::string& name : examples) {
        SCOPED_TRACE(name);
        const std::string shot = dir + name + ".png";
        // Each example is a folder with its main.lua, so `revev examples/NAME/` runs it.
        const ProgramRun run =
            RunProgram("--frames 60 --screenshot '" + shot + "' '" + kSource + "/examples/" + name + "/'", dir);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Colours(shot), 2) << "the last frame is one flat colour, or was not saved";
    }
}

TEST(FirstHour, TheReadmeGivesEveryExampleItsCommand) {
    const std::string readme = ReadWholeFile(kSource + "/README.md");
    const size_t start = readme.find("\n## Examples\n");
    ASSERT_NE(start, std::string::npos);
    const std::string section = readme.substr(start, readme.find("\n## ", start + 1) - start);
    for (const std::string& name : ExampleFolders())
        EXPECT_NE(section.find("build/revev examples/" + name + "/"), std::string::npos) << name;
}

// Compared both ways: a binding left out of the document, and a documented
// name the program does not have (a typo or a binding taken away).
TEST(FirstHour, EveryRegisteredBindingIsDocumented) {
    const std::string dir = UseScratchTempDirectory();
    WriteWholeFile(dir + "names.lua",
                   "for name, value in pairs(_G) do\n"
                   "  if type(name) == 'string' and name:find('^Lua_') and type(value) == 'function' then\n"
                   "    print('binding ' .. name)\n"
                   "  end\n"
                   "end\n");
    const ProgramRun run = RunProgram("--frames 1 --script '" + dir + "names.lua'", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::set<std::string> registered;
    std::istringstream out(run.out);
    std::string line;
    while (std::getline(out, line))
        if (line.rfind("binding ", 0) == 0) registered.insert(line.substr(8));
    ASSERT_GT(registered.size(), 100u);

    const std::set<std::string> documented = DocumentedBindings();
    for (const std::string& name : registered) EXPECT_TRUE(documented.count(name)) << name << " is not documented";
    for (const std::string& name : documented) EXPECT_TRUE(registered.count(name)) << name << " is not registered";
    // require is the runtime's own addition to the base library.
    EXPECT_NE(ReadWholeFile(kSource + "/docs/lua-api.md").find("| `require(name)`"), std::string::npos);
}
