#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "TrelkApi.h"

namespace Trelk {

// A folder of the content and its sub-folders, copied from the library's
// folder record. A plain value.
class CFolderInfo {
public:
  CFolderInfo();
  // A null record gives zeros, empty strings and no sub-folders; null strings
  // read as empty and a null sub-folder array as none.
  explicit CFolderInfo(const TESSIM_FOLDER_INFO* record);

  DWORD GetFolderId() const { return m_folderId; }
  DWORD GetValue() const { return m_value; }
  const wchar_t* GetName() const { return m_name.c_str(); }
  const wchar_t* GetPath() const { return m_path.c_str(); }
  size_t GetSubFolderCount() const { return m_subFolders.size(); }
  // Throws std::out_of_range at or beyond the count.
  const CFolderInfo& GetSubFolder(size_t index) const;

private:
  DWORD m_folderId;
  DWORD m_value;
  std::wstring m_name;
  std::wstring m_path;
  std::vector<CFolderInfo> m_subFolders;
};

}  // namespace Trelk
