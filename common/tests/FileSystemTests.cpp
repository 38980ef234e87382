#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "FileSystem.h"

namespace {

// A fresh folder of this test under the temporary folder, removed afterwards.
class FileSystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    m_root = std::wstring(temp) + L"dialix-fs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++s_counter) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(m_root.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(m_root); }

  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(folder + name + L"\\");
        else
          DeleteFileW((folder + name).c_str());
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }
  void MakeFile(const std::wstring& name) {
    HANDLE h = CreateFileW((m_root + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  void MakeFolder(const std::wstring& name) { ASSERT_TRUE(CreateDirectoryW((m_root + name).c_str(), nullptr)); }

  std::wstring m_root;  // ends with a backslash
  static int s_counter;
};
int FileSystemTest::s_counter = 0;

TEST_F(FileSystemTest, DirectoryExistsTellsFoldersFilesAndNothing) {
  MakeFile(L"plain.txt");
  EXPECT_TRUE(DirectoryExists(m_root));
  EXPECT_FALSE(DirectoryExists(m_root + L"missing"));
  try {
    DirectoryExists(m_root + L"plain.txt");
    FAIL() << "no throw";
  } catch (int code) {
    EXPECT_EQ(code, 1);
  }
}

TEST_F(FileSystemTest, CreateDirectoryTreeMakesParentsAndRefusesAnExistingOne) {
  std::wstring deep = m_root + L"a\\b\\c";
  CreateDirectoryTree(deep);
  EXPECT_TRUE(DirectoryExists(deep));
  try {
    CreateDirectoryTree(deep);
    FAIL() << "no throw";
  } catch (int code) {
    EXPECT_EQ(code, ERROR_ALREADY_EXISTS);
  }
}

TEST(PathTextTest, TrailingBackslashAndJoin) {
  std::wstring empty, bare = L"C:\\data", done = L"C:\\data\\";
  EnsureTrailingBackslash(empty);
  EnsureTrailingBackslash(bare);
  EnsureTrailingBackslash(done);
  EXPECT_EQ(empty, L"");
  EXPECT_EQ(bare, L"C:\\data\\");
  EXPECT_EQ(done, L"C:\\data\\");
  EXPECT_EQ(JoinPath(L"C:\\data\\", L"OrvexDialix.db"), L"C:\\data\\OrvexDialix.db");
  EXPECT_EQ(JoinPath(L"C:\\data", L"x"), L"C:\\datax");
}

TEST_F(FileSystemTest, ListDirectoryGivesOnlySubFoldersAsFullPaths) {
  EXPECT_TRUE(ListDirectory(m_root).empty());
  MakeFile(L"one.txt");
  MakeFile(L"two.db");
  MakeFolder(L"SERIAL01");
  std::wstring bare = m_root.substr(0, m_root.size() - 1);
  EXPECT_EQ(ListDirectory(bare), (std::vector<std::wstring>{m_root + L"SERIAL01"}));
  EXPECT_TRUE(ListDirectory(m_root + L"missing").empty());
  EXPECT_TRUE(ListDirectory(m_root + L"missing\\deeper", L"*", true).empty());
}

TEST_F(FileSystemTest, RecursionAppendsDeeperMatchesAfterTheFirstLevel) {
  MakeFolder(L"p1");
  MakeFolder(L"q1");
  MakeFolder(L"q1\\p2");
  MakeFolder(L"q1\\p2\\p3");
  MakeFolder(L"q1\\other");
  MakeFile(L"q1\\p2\\pfile");
  std::vector<std::wstring> found = ListDirectory(m_root, L"p*", true);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], m_root + L"p1");
  EXPECT_EQ(found[1], m_root + L"q1\\p2");
  EXPECT_EQ(found[2], m_root + L"q1\\p2\\p3");
  EXPECT_EQ(ListDirectory(m_root, L"p*", false), (std::vector<std::wstring>{m_root + L"p1"}));
}

}  // namespace
