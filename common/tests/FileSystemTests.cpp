#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "FileSystem.h"
#include "ZCLException.h"

namespace {

// A fresh folder of this test under the temporary folder, removed afterwards.
class FileSystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    m_root = std::wstring(temp) + L"dialix-fs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++s_counter) + L"-" + std::to_wstring(GetTickCount64()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(m_root.c_str(), nullptr));
  }
  void TearDown() override {
    std::wstring from = m_root.substr(0, m_root.size() - 1) + L'\0';  // double-null list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
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

// The code a helper throws, or -1 when it returns.
template <class F>
int Thrown(F call) {
  try {
    call();
  } catch (const ZCLException& e) {
    return e.GetCode();
  }
  return -1;
}

TEST_F(FileSystemTest, DirectoriesAreFoundAndMadeWithTheirParents) {
  MakeFile(L"plain.txt");
  EXPECT_TRUE(DirectoryExists(m_root));
  EXPECT_FALSE(DirectoryExists(m_root + L"missing"));
  EXPECT_EQ(Thrown([&] { DirectoryExists(m_root + L"plain.txt"); }), 1);
  std::wstring deep = m_root + L"a\\b\\c";
  CreateDirectoryTree(deep);
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_EQ(Thrown([&] { CreateDirectoryTree(deep); }), ERROR_ALREADY_EXISTS);
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

// Hostile serial numbers: each must make one folder inside the parent, and
// no two may meet.
TEST_F(FileSystemTest, EscapedNamesStayInsideTheirFolderAndApart) {
  std::vector<std::wstring> serials = {L"..\\x", L"..", L".", L"NUL", L"nul.txt", L"COM1", L"a:b",
                                       L"P1", L"P1.", L"P1 ", L"tab\there", L"50%", L"%35%30",
                                       std::wstring(300, L'7'), std::wstring(299, L'7') + L"8"};
  std::vector<std::wstring> names;
  for (const std::wstring& serial : serials) {
    std::wstring name = EscapeFileName(serial);
    EXPECT_EQ(name.find_first_of(L"\\/:*?\"<>|"), std::wstring::npos) << name;
    EXPECT_LE(name.size(), 120u);
    EXPECT_NE(name.back(), L'.');
    EXPECT_NE(name.back(), L' ');
    for (const std::wstring& other : names) EXPECT_NE(name, other);
    names.push_back(name);
    ASSERT_TRUE(CreateDirectoryW((m_root + name).c_str(), nullptr)) << name;
  }
  EXPECT_EQ(ListDirectory(m_root).size(), serials.size());
  EXPECT_EQ(EscapeFileName(L"356938035643809"), L"356938035643809");
  EXPECT_EQ(Thrown([] { EscapeFileName(L""); }), ERROR_INVALID_NAME);
}

}  // namespace
