#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <stdexcept>
#include "CConfiguration.h"
#include "TrayTestSupport.h"

namespace {

std::string ThrownText(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ConfigurationStore, MissingFileOpensEmptyAndBuildsThePathOnWrite) {
  CTempFolder folder;
  CConfiguration store;
  EXPECT_EQ("Failed to open xml document.", ThrownText([&] { store.Open(folder.File(L"none.cfg")); }));
  EXPECT_TRUE(store.IsOpen());
  EXPECT_EQ("Not found.", ThrownText([&] { store.GetValue(L"OrvexDialixTray/PWZ", L"Path"); }));
  EXPECT_EQ(L"fallback", store.GetValueOr(L"OrvexDialixTray/PWZ", L"Path", L"fallback"));
  store.SetValue(L"OrvexDialixTray/PWZ", L"Path", L"C:\\x.exe");
  EXPECT_EQ(L"C:\\x.exe", store.GetValue(L"OrvexDialixTray/PWZ", L"Path"));
  store.Save(folder.File(L"new.cfg"));

  CConfiguration reread;
  reread.Open(folder.File(L"new.cfg"));
  EXPECT_EQ(L"C:\\x.exe", reread.GetValue(L"OrvexDialixTray/PWZ", L"Path"));
}

// Wine's parser lets a second root element be appended; the file then no
// longer loads.
TEST(ConfigurationStore, AnotherRootIsNeverJoinedByASecondOne) {
  CTempFolder folder;
  WriteBytes(folder.File(L"other.cfg"), "<Other><PWZ><Path>a</Path></PWZ></Other>");
  CConfiguration store;
  store.Open(folder.File(L"other.cfg"));
  EXPECT_EQ("Not found.", ThrownText([&] { store.GetValue(L"PWZ", L"Path"); }));
  EXPECT_EQ("ERROR!", ThrownText([&] { store.SetValue(L"OrvexDialixTray/PWZ", L"Path", L"b"); }));
  store.Save(folder.File(L"other.cfg"));
  CConfiguration reread;
  EXPECT_NO_THROW(reread.Open(folder.File(L"other.cfg")));
}

TEST(ConfigurationStore, SecondOpenThrowsAndKeepsTheFirstDocument) {
  CTempFolder folder;
  WriteBytes(folder.File(L"a.cfg"), "<Configuration><S><K>first</K></S></Configuration>");
  WriteBytes(folder.File(L"b.cfg"), "<Configuration><S><K>second</K></S></Configuration>");
  CConfiguration store;
  store.Open(folder.File(L"a.cfg"));
  EXPECT_EQ("Already open.", ThrownText([&] { store.Open(folder.File(L"b.cfg")); }));
  EXPECT_EQ(L"first", store.GetValue(L"S", L"K"));
  store.Close(false);
  store.Open(folder.File(L"b.cfg"));
  EXPECT_EQ(L"second", store.GetValue(L"S", L"K"));
}

TEST(ConfigurationStore, EmptyElementIsAnEmptyValueNotAMissingOne) {
  CTempFolder folder;
  WriteBytes(folder.File(L"e.cfg"), "<Configuration><S><K/></S></Configuration>");
  CConfiguration store;
  store.Open(folder.File(L"e.cfg"));
  EXPECT_EQ(L"", store.GetValue(L"S", L"K"));
  EXPECT_EQ(L"", store.GetValueOr(L"S", L"K", L"fallback"));
}

TEST(ConfigurationStore, ClosedStoreReportsNotOpenedAndSavesNothing) {
  CTempFolder folder;
  CConfiguration store;
  EXPECT_EQ("Not opened.", ThrownText([&] { store.GetValue(L"S", L"K"); }));
  EXPECT_EQ("Not opened.", ThrownText([&] { store.GetValueOr(L"S", L"K", L"x"); }));
  EXPECT_EQ("Not opened.", ThrownText([&] { store.SetValue(L"S", L"K", L"x"); }));
  EXPECT_NO_THROW(store.Save(folder.File(L"closed.cfg")));
  EXPECT_FALSE(FileExists(folder.File(L"closed.cfg")));
  // Open, then Close with saving before any Save: there is no path to write to.
  EXPECT_THROW(store.Open(folder.File(L"none.cfg")), std::runtime_error);
  store.SetValue(L"S", L"K", L"x");
  EXPECT_NO_THROW(store.Close(true));
  EXPECT_FALSE(store.IsOpen());
}

TEST(ConfigurationStore, SavedFileIsDeclaredUtf8IndentedAndSharesSectionElements) {
  CTempFolder folder;
  CConfiguration store;
  EXPECT_THROW(store.Open(folder.File(L"none.cfg")), std::runtime_error);
  store.SetValue(L"OrvexDialixTray/Firefox", L"Path", L"C:\\Programme\\F\u00fcchse\\\u0444.exe");
  store.SetValue(L"OrvexDialixTray/Firefox", L"CommandLine", L"-dialix");
  store.SetValue(L"OrvexDialixTray", L"SelectedBrowser", L"IE");
  store.Save(folder.File(L"t.cfg"));

  std::string bytes = ReadBytes(folder.File(L"t.cfg"));
  EXPECT_EQ(0u, bytes.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")) << bytes;
  EXPECT_EQ(1u, Count(bytes, "<OrvexDialixTray>")) << bytes;
  EXPECT_EQ(1u, Count(bytes, "<Firefox>")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("\n\t<OrvexDialixTray>\n\t\t<Firefox>\n\t\t\t<Path>")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("F\xc3\xbc" "chse\\\xd1\x84.exe")) << bytes;

  CConfiguration reread;
  reread.Open(folder.File(L"t.cfg"));
  EXPECT_EQ(L"C:\\Programme\\F\u00fcchse\\\u0444.exe", reread.GetValue(L"OrvexDialixTray/Firefox", L"Path"));
  EXPECT_EQ(L"IE", reread.GetValue(L"OrvexDialixTray", L"SelectedBrowser"));
}

TEST(ConfigurationStore, ResavingKeepsTheLayout) {
  CTempFolder folder;
  CConfiguration store;
  EXPECT_THROW(store.Open(folder.File(L"none.cfg")), std::runtime_error);
  store.SetValue(L"A/B", L"First", L"1");
  store.SetValue(L"A/B", L"Other", L"x");
  store.Save(folder.File(L"r.cfg"));
  std::string first = ReadBytes(folder.File(L"r.cfg"));

  CConfiguration again;
  again.Open(folder.File(L"r.cfg"));
  again.SetValue(L"A/B", L"Other", L"x");
  again.Save(folder.File(L"r.cfg"));
  EXPECT_EQ(first, ReadBytes(folder.File(L"r.cfg")));
}

TEST(ConfigurationStore, SaveThatCannotWriteThrows) {
  CTempFolder folder;
  CConfiguration store;
  EXPECT_THROW(store.Open(folder.File(L"none.cfg")), std::runtime_error);
  store.SetValue(L"S", L"K", L"v");
  EXPECT_EQ("Failed to save xml document.",
            ThrownText([&] { store.Save(folder.File(L"missing\\folder\\x.cfg")); }));
}

TEST(ConfigurationStore, SplitStringSkipsInnerRunsButKeepsALeadingEmptyToken) {
  std::vector<std::wstring> tokens;
  EXPECT_EQ(4u, CConfiguration::SplitString(L"/Configuration//A/B", L"/", &tokens));
  EXPECT_EQ((std::vector<std::wstring>{L"", L"Configuration", L"A", L"B"}), tokens);
  tokens.clear();
  EXPECT_EQ(1u, CConfiguration::SplitString(L"plain", L"/", &tokens));
}

}  // namespace
