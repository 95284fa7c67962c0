// A temporary program folder for tests that read and write parameter and
// language files: workPath.txt names <root>/work/, so the parameter folder is
// <root>/ and the language folder <root>/Language/.
#pragma once
#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchProgramFolder {
public:
    ScratchProgramFolder()
    {
        char pattern[] = "/tmp/brenvik-settings-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_root = std::string(made != nullptr ? made : "/tmp") + "/";
        std::filesystem::create_directories(m_root + "work");
        std::filesystem::create_directories(m_root + "Language");
        EXPECT_TRUE(plat::WriteWholeFile(m_root + "workPath.txt", m_root + "work/\r\n"));
        plat::SetProgramFolderForTesting(m_root);
    }
    ~ScratchProgramFolder()
    {
        plat::SetProgramFolderForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    ScratchProgramFolder(const ScratchProgramFolder&) = delete;
    ScratchProgramFolder& operator=(const ScratchProgramFolder&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Language() const { return m_root + "Language/"; }

    void Write(const std::string& relative, const std::string& bytes) const
    {
        ASSERT_TRUE(plat::WriteWholeFile(m_root + relative, bytes));
    }
    std::string Read(const std::string& relative) const
    {
        std::string data;
        EXPECT_TRUE(plat::ReadWholeFile(m_root + relative, data)) << relative;
        return data;
    }
    bool Exists(const std::string& relative) const { return std::filesystem::exists(m_root + relative); }

private:
    std::string m_root;
};
