#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TagFixtures.h"
#include "foundation/Errors.h"
#include "media/tags/AtomicFile.h"

namespace kelvar {
namespace {

using test::Bytes;

TEST(AtomicFile, CommitReplacesAndKeepsTheMode) {
    test::TempDir dir;
    const std::string file = dir.File("a.bin");
    test::WriteFile(file, {1, 2, 3});
    ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
    {
        TAtomicFile out(file);
        out.Write("xy", 2);
        EXPECT_EQ(test::ReadFile(file), (Bytes{1, 2, 3}));  // untouched until the commit
        out.Commit();
    }
    EXPECT_EQ(test::ReadFile(file), (Bytes{'x', 'y'}));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.bin"});
}

TEST(AtomicFile, AbandonedWritesLeaveNoTrace) {
    test::TempDir dir;
    const std::string file = dir.File("a.bin");
    test::WriteFile(file, {1});
    {
        TAtomicFile out(file);
        out.Write("zz", 2);
    }
    EXPECT_EQ(test::ReadFile(file), (Bytes{1}));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.bin"});
    EXPECT_THROW(TAtomicFile(dir.File("no/such/folder/x")), EFileError);
}

TEST(AtomicFile, LinksKeepPointingAtTheReplacedFile) {
    test::TempDir dir;
    const std::string file = dir.File("real.bin");
    test::WriteFile(file, {1});
    std::filesystem::create_symlink(file, dir.File("link.bin"));
    TAtomicFile out(dir.File("link.bin"));
    out.Write("n", 1);
    out.Commit();
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bin")));
    EXPECT_EQ(test::ReadFile(file), (Bytes{'n'}));
}

}  // namespace
}  // namespace kelvar
