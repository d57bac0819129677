#pragma once
// A temporary plug-in folder filled with copies of the test modules, and a logger that keeps
// what it was told.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Logger.h"

namespace plugintest {

namespace fs = std::filesystem;

class TRecordingLogger : public kelvar::ILogger {
public:
    void Log(const std::string& message, const std::string&, kelvar::TLogKind kind) override {
        std::lock_guard<std::mutex> guard(FLock);
        if (kind <= kelvar::LogKind::Warning) FLines.push_back(message);
    }
    bool Contains(const std::string& part) {
        std::lock_guard<std::mutex> guard(FLock);
        for (const auto& line : FLines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> guard(FLock);
        return FLines;
    }

private:
    std::mutex FLock;
    std::vector<std::string> FLines;
};

class PluginFolder : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        Folder =
            fs::temp_directory_path() / ("kelvar-plugins-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Log = std::make_shared<TRecordingLogger>();
        kelvar::SetCoreLogger(Log);
    }
    void TearDown() override {
        kelvar::SetCoreLogger(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }

    // Copies a built test module into the folder, under another name when given.
    std::string Install(const std::string& module, const std::string& as = "") {
        const fs::path target = Folder / (as.empty() ? module : as);
        fs::copy_file(fs::path(KELVAR_TEST_MODULE_DIR) / module, target, fs::copy_options::overwrite_existing);
        return target.string();
    }
    std::string WriteFile(const std::string& name, const std::string& text) {
        const fs::path target = Folder / name;
        FILE* f = std::fopen(target.c_str(), "wb");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        return target.string();
    }
    std::string Dir() const { return Folder.string() + "/"; }

    fs::path Folder;
    std::shared_ptr<TRecordingLogger> Log;
};

}  // namespace plugintest
