#include <windows.h>
#include "CFolderInfo.h"
#include <stdexcept>
#include "ZCLLogger.h"

namespace Trelk {

CFolderInfo::CFolderInfo() : m_folderId(0), m_value(0) {}

CFolderInfo::CFolderInfo(const TESSIM_FOLDER_INFO* record) : m_folderId(0), m_value(0) {
  ZCLScopeTracer trace("Trelk::CFolderInfo::CFolderInfo");
  if (!record) return;
  m_folderId = record->dwFolderId;
  m_value = record->dwValue;
  if (record->pstrName) m_name = record->pstrName;
  if (record->pstrPath) m_path = record->pstrPath;
  if (!record->pSubFolders) return;
  m_subFolders.reserve(record->dwNumOfSubFolders);
  for (DWORD i = 0; i < record->dwNumOfSubFolders; ++i) m_subFolders.push_back(CFolderInfo(&record->pSubFolders[i]));
}

const CFolderInfo& CFolderInfo::GetSubFolder(size_t index) const {
  if (index >= m_subFolders.size()) throw std::out_of_range("Trelk::CFolderInfo::GetSubFolder");
  return m_subFolders[index];
}

}  // namespace Trelk
