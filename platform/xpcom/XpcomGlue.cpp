#include <windows.h>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#include "XpcomGlue.h"

nsID* nsID::Clone() const {
  nsID* copy = static_cast<nsID*>(NS_Alloc(sizeof(nsID)));
  if (copy) *copy = *this;
  return copy;
}

namespace {

char* CloneText(const char* text) {
  if (!text) return nullptr;
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(NS_Alloc(size));
  if (copy) memcpy(copy, text, size);
  return copy;
}

// One component's factory, which is also its class information: it fills the
// component's class-information slot for as long as it lives.
// Used on the browser thread only.
class CGenericFactory final : public nsIFactory, public nsIClassInfo {
  NS_DECL_PLAIN_REFCOUNT
  explicit CGenericFactory(const nsModuleComponentInfo* info) : m_info(info) {
    if (m_info->mClassInfoGlobal) *m_info->mClassInfoGlobal = static_cast<nsIClassInfo*>(this);
  }

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    if (iid.Equals(NS_GET_IID(nsISupports)) || iid.Equals(NS_GET_IID(nsIFactory)))
      *result = static_cast<nsIFactory*>(this);
    else if (iid.Equals(NS_GET_IID(nsIClassInfo)))
      *result = static_cast<nsIClassInfo*>(this);
    else
      return NS_ERROR_NO_INTERFACE;
    AddRef();
    return NS_OK;
  }

  NS_IMETHOD CreateInstance(nsISupports* outer, const nsIID& iid, void** result) override {
    if (!m_info->mConstructor) return NS_ERROR_FACTORY_NOT_REGISTERED;
    return m_info->mConstructor(outer, iid, result);
  }
  NS_IMETHOD LockFactory(PRBool) override { return NS_OK; }

  NS_IMETHOD GetInterfaces(PRUint32* count, nsIID*** array) override {
    if (!count || !array) return NS_ERROR_NULL_POINTER;
    if (!m_info->mGetInterfacesProc) {
      *count = 0;
      *array = nullptr;
      return NS_OK;
    }
    return m_info->mGetInterfacesProc(count, array);
  }
  NS_IMETHOD GetHelperForLanguage(PRUint32 language, nsISupports** helper) override {
    if (!helper) return NS_ERROR_NULL_POINTER;
    *helper = nullptr;
    return m_info->mGetLanguageHelperProc ? m_info->mGetLanguageHelperProc(language, helper) : NS_OK;
  }
  NS_IMETHOD GetContractID(char** contractId) override { return Text(m_info->mContractID, contractId); }
  NS_IMETHOD GetClassDescription(char** description) override {
    return Text(m_info->mDescription, description);
  }
  NS_IMETHOD GetClassID(nsCID** cid) override {
    if (!cid) return NS_ERROR_NULL_POINTER;
    *cid = m_info->mCID.Clone();
    return *cid ? NS_OK : NS_ERROR_OUT_OF_MEMORY;
  }
  NS_IMETHOD GetImplementationLanguage(PRUint32* language) override {
    if (!language) return NS_ERROR_NULL_POINTER;
    *language = 3;  // C++
    return NS_OK;
  }
  NS_IMETHOD GetFlags(PRUint32* flags) override {
    if (!flags) return NS_ERROR_NULL_POINTER;
    *flags = m_info->mFlags;
    return NS_OK;
  }
  NS_IMETHOD GetClassIDNoAlloc(nsCID* cid) override {
    if (!cid) return NS_ERROR_NULL_POINTER;
    *cid = m_info->mCID;
    return NS_OK;
  }

private:
  ~CGenericFactory() {
    if (m_info->mClassInfoGlobal && *m_info->mClassInfoGlobal == static_cast<nsIClassInfo*>(this))
      *m_info->mClassInfoGlobal = nullptr;
    if (m_info->mFactoryDestructor) m_info->mFactoryDestructor();
  }
  static nsresult Text(const char* text, char** result) {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = CloneText(text);
    return (text && !*result) ? NS_ERROR_OUT_OF_MEMORY : NS_OK;
  }

  const nsModuleComponentInfo* m_info;
};

// The module: one factory per component, made on first use and kept for the
// module's life. Used on the browser thread only.
class CGenericModule final : public nsIModule {
  NS_DECL_PLAIN_REFCOUNT
  explicit CGenericModule(const nsModuleInfo* info) : m_info(info), m_factories(info->mCount) {}

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(nsIModule)))
      return NS_ERROR_NO_INTERFACE;
    *result = static_cast<nsIModule*>(this);
    AddRef();
    return NS_OK;
  }

  NS_IMETHOD GetClassObject(nsIComponentManager*, const nsCID& cid, const nsIID& iid,
                            void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    nsresult rv = Initialize();
    if (NS_FAILED(rv)) return rv;
    for (PRUint32 i = 0; i < m_info->mCount; ++i) {
      if (!m_info->mComponents[i].mCID.Equals(cid)) continue;
      if (!m_factories[i]) {
        CGenericFactory* made = new (std::nothrow) CGenericFactory(&m_info->mComponents[i]);
        if (!made) return NS_ERROR_OUT_OF_MEMORY;
        m_factories[i] = static_cast<nsIFactory*>(made);
      }
      return m_factories[i]->QueryInterface(iid, result);
    }
    return NS_ERROR_FACTORY_NOT_REGISTERED;
  }

  NS_IMETHOD RegisterSelf(nsIComponentManager* manager, nsIFile* location, const char* loaderStr,
                          const char* type) override {
    nsresult rv = Initialize();
    if (NS_FAILED(rv)) return rv;
    nsCOMPtr<nsIComponentRegistrar> registrar = do_QueryInterface<nsIComponentRegistrar>(manager);
    if (!registrar) return NS_ERROR_NO_INTERFACE;
    for (PRUint32 i = 0; i < m_info->mCount; ++i) {
      const nsModuleComponentInfo& c = m_info->mComponents[i];
      rv = registrar->RegisterFactoryLocation(c.mCID, c.mDescription, c.mContractID, location,
                                              loaderStr, type);
      if (NS_SUCCEEDED(rv) && c.mRegisterSelfProc)
        rv = c.mRegisterSelfProc(manager, location, loaderStr, type, &c);
      if (NS_FAILED(rv)) return rv;
    }
    return NS_OK;
  }
  NS_IMETHOD UnregisterSelf(nsIComponentManager* manager, nsIFile* location,
                            const char* loaderStr) override {
    for (PRUint32 i = 0; i < m_info->mCount; ++i) {
      const nsModuleComponentInfo& c = m_info->mComponents[i];
      if (c.mUnregisterSelfProc) c.mUnregisterSelfProc(manager, location, loaderStr, &c);
    }
    return NS_OK;
  }
  NS_IMETHOD CanUnload(nsIComponentManager*, PRBool* okToUnload) override {
    if (!okToUnload) return NS_ERROR_NULL_POINTER;
    *okToUnload = PR_FALSE;  // objects of the component may still be alive
    return NS_OK;
  }

private:
  ~CGenericModule() {
    m_factories.clear();  // empties the class-information slots
    if (m_initialized && m_info->mDtor) m_info->mDtor(this);
  }
  nsresult Initialize() {
    if (m_initialized) return NS_OK;
    if (m_info->mCtor) {
      nsresult rv = m_info->mCtor(this);
      if (NS_FAILED(rv)) return rv;
    }
    m_initialized = true;
    return NS_OK;
  }

  const nsModuleInfo* m_info;
  std::vector<nsCOMPtr<nsIFactory>> m_factories;
  bool m_initialized = false;
};

}  // namespace

nsresult NS_NewGenericModule2(const nsModuleInfo* info, nsIModule** result) {
  if (!result) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  if (!info || (info->mCount && !info->mComponents)) return NS_ERROR_INVALID_ARG;
  CGenericModule* module = new (std::nothrow) CGenericModule(info);
  if (!module) return NS_ERROR_OUT_OF_MEMORY;
  module->AddRef();
  *result = module;
  return NS_OK;
}
