// The extractor's parts in-process: option parsing and the console's view of the desktop.
#include "ConsoleDesktop.h"
#include "Options.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace z83::cli {
namespace {

using Request = Options::Request;

TEST(Options, ReadTheModuleAndRefuseWhatCannotWork) {
    auto typed = parseOptions({"--id", "00001A2B3C", "-o", "-", "--format", "json", "--clear", "-y"});
    ASSERT_EQ(typed.request, Request::Run) << typed.message;
    EXPECT_EQ(typed.moduleId, 0x1A2B3C); // leading zeros are not significant
    EXPECT_TRUE(typed.toStdout());
    EXPECT_EQ(typed.format, Options::Format::Json);
    EXPECT_TRUE(typed.clear && typed.yes && !typed.force);

    EXPECT_EQ(parseOptions({"--id", "8000"}).moduleId, 0x8000);
    EXPECT_EQ(parseOptions({"--id", "FFFFFFFF"}).moduleId, -1);
    EXPECT_EQ(parseOptions({"--id", "12G4"}).moduleId, 0x12); // the window's reader stops at G

    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--id", "100000000"}, // nine digits would wrap to another module's ID
             {"--pair", "--id", "1"},
             {"--id", "1", "--force"}, // --force and --yes only mean something with --clear
             {"--id", "1", "--yes"},
             {"--id", "1", "-o", ""},
             {"--id", "1", "--scenario", ""},
             {"--id", "1", "extra"},
         }) {
        const auto options = parseOptions(arguments);
        EXPECT_EQ(options.request, Request::Invalid) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(options.message.empty());
    }
}

TEST(ConsoleDesktop, FindsTheDocumentsFolderAsTheWindowDoes) {
    test::TempDir config;
    const std::string home = "/home/ann";
    EXPECT_EQ(documentsFolder(home, config.str()), "/home/ann/Documents");
    EXPECT_EQ(documentsFolder("/home/ann/", config.str()), "/home/ann/Documents");

    auto dirs = [&](const std::string& content) {
        test::writeFile(config.path() / "user-dirs.dirs", content);
        return documentsFolder(home, config.str());
    };
    EXPECT_EQ(dirs("XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n"), "/home/ann/Papiere");
    EXPECT_EQ(dirs("XDG_DOCUMENTS_DIR=\"/data/docs/\"\r\n"), "/data/docs");
    EXPECT_EQ(dirs("XDG_DOCUMENTS_DIR=/a\nXDG_DESKTOP_DIR=/b\nXDG_DOCUMENTS_DIR=/c\n"),
              "/c"); // the last wins
    EXPECT_EQ(dirs("# XDG_DOCUMENTS_DIR=/a\n XDG_DOCUMENTS_DIR=/b\n"), "/home/ann/Documents");
    EXPECT_EQ(dirs("XDG_DOCUMENTS_DIR=\"$HOME\"\n"), "/home/ann");

    // Without XDG_CONFIG_HOME the file is looked for in the home folder's .config.
    test::TempDir otherHome;
    std::filesystem::create_directories(otherHome.path() / ".config");
    test::writeFile(otherHome.path() / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/D\"\n");
    EXPECT_EQ(documentsFolder(otherHome.str(), ""), otherHome.str() + "/D");
}

TEST(ConsoleDesktop, MessagesAreOneLineWithoutControlCharacters) {
    EXPECT_EQ(messageLine("Error", "Cannot read Model!\r\nTry again."),
              "Error: Cannot read Model! Try again.");
    EXPECT_EQ(messageLine("Warning", "a\nb\rc\x1b[31md"), "Warning: a b c?[31md");

    std::ostringstream err;
    ConsoleDesktop desktop(err, {true, false});
    EXPECT_EQ(desktop.showMessage("Sure?", "Clear All Logs", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    desktop.note("informational");
    desktop.collectProgress(1, 2);
    EXPECT_EQ(err.str(), "Clear All Logs: Sure?\n"); // quiet: no note, no progress
}

} // namespace
} // namespace z83::cli
