#include <windows.h>
#include "ClassRegistration.h"
#include "Registrar.h"

namespace {

const wchar_t kLocalServerClassScript[] = LR"(HKCR
{
	%PROGID% = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
	}
	%VIPROGID% = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
		CurVer = s '%PROGID%'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s '%DESCRIPTION%'
		{
			ProgID = s '%PROGID%'
			VersionIndependentProgID = s '%VIPROGID%'
			ForceRemove 'Programmable'
			LocalServer32 = s '%MODULE%'
			val AppID = s '%APPID%'
			'TypeLib' = s '%TYPELIB%'
		}
	}
}
)";

const wchar_t kAppIdScript[] = LR"(HKCR
{
	NoRemove AppID
	{
		'%APPID%' = s '%APPNAME%'
		'%APPFILE%'
		{
			val AppID = s '%APPID%'
		}
	}
}
)";

HRESULT UpdateClassRegistry(LPCOLESTR script, const CClassRegistration& registration,
                            BOOL bRegister) {
  if (!_pAtlModule) return E_UNEXPECTED;
  return _pAtlModule->UpdateRegistryFromScript(
      script,
      {{L"PROGID", registration.progId},
       {L"VIPROGID", registration.versionIndependentProgId},
       {L"CLSID", registration.clsid},
       {L"DESCRIPTION", registration.description},
       {L"TYPELIB", registration.typeLib}},
      bRegister);
}

}  // namespace

HRESULT AtlUpdateLocalServerClassRegistry(const CClassRegistration& registration, BOOL bRegister) {
  return UpdateClassRegistry(kLocalServerClassScript, registration, bRegister);
}

HRESULT AtlUpdateAppIdRegistry(LPCOLESTR name, LPCOLESTR fileName, BOOL bRegister) {
  if (!_pAtlModule) return E_UNEXPECTED;
  return _pAtlModule->UpdateRegistryFromScript(
      kAppIdScript, {{L"APPNAME", name}, {L"APPFILE", fileName}}, bRegister);
}
