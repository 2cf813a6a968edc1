#include <gtest/gtest.h>

#include "common/file_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"

// The size limit holds at its edge, failures leave nothing behind, and a file another program
// is writing (a log) can still be read.
TEST(ReadWholeFile, LimitsErrorsAndSharing)
{
    const std::wstring path = zeptest::TestTempDir() + L"data.bin";
    const std::string content(70000, 'x');  // more than one read block
    ASSERT_TRUE(zeptest::WriteFileBytes(path, content.data(), content.size()));

    std::string data = "stale";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ReadWholeFile(path, data, content.size()));
    EXPECT_EQ(content, data);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), ReadWholeFile(path, data, content.size() - 1));
    EXPECT_TRUE(data.empty());
    data = "stale";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ReadWholeFile(path + L".none", data));
    EXPECT_TRUE(data.empty());

    UniqueHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ReadWholeFile(path, data));
    EXPECT_EQ(content.size(), data.size());
}
