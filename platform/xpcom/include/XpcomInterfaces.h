#pragma once
#include <windows.h>
#include "XpcomTypes.h"

// The runtime's interfaces as the Firefox component calls them. Their ids are
// the runtime's own; nothing here can check them against a browser.
struct nsISupports {
  NS_DEFINE_IID_ACCESSOR(0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) = 0;
  NS_IMETHOD_(nsrefcnt) AddRef() = 0;
  NS_IMETHOD_(nsrefcnt) Release() = 0;
};

struct nsIFactory : public nsISupports {
  NS_DEFINE_IID_ACCESSOR(0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
  NS_IMETHOD CreateInstance(nsISupports* outer, const nsIID& iid, void** result) = 0;
  NS_IMETHOD LockFactory(PRBool lock) = 0;
};

// Opaque to the component: passed through, never called.
struct nsIComponentManager : public nsISupports {};
struct nsIFile : public nsISupports {};

// The host's registrar: only what RegisterSelf calls. The id is ours.
struct nsIComponentRegistrar : public nsISupports {
  NS_DEFINE_IID_ACCESSOR(0x5A3C0E1B, 0x7D42, 0x4F19, 0x8B, 0x2E, 0x61, 0xC4, 0x0F, 0x9D, 0x3A, 0x57)
  NS_IMETHOD RegisterFactoryLocation(const nsCID& cid, const char* className, const char* contractId,
                                     nsIFile* location, const char* loaderStr, const char* type) = 0;
};

struct nsIModule : public nsISupports {
  NS_DEFINE_IID_ACCESSOR(0x7392D032, 0x5371, 0x11D3, 0x99, 0x4E, 0x00, 0x80, 0x5F, 0xD2, 0x6F, 0xEE)
  NS_IMETHOD GetClassObject(nsIComponentManager* manager, const nsCID& cid, const nsIID& iid,
                            void** result) = 0;
  NS_IMETHOD RegisterSelf(nsIComponentManager* manager, nsIFile* location, const char* loaderStr,
                          const char* type) = 0;
  NS_IMETHOD UnregisterSelf(nsIComponentManager* manager, nsIFile* location,
                            const char* loaderStr) = 0;
  NS_IMETHOD CanUnload(nsIComponentManager* manager, PRBool* okToUnload) = 0;
};

struct nsIClassInfo : public nsISupports {
  NS_DEFINE_IID_ACCESSOR(0x986C11D0, 0xF340, 0x11D4, 0x90, 0x75, 0x00, 0x10, 0xA4, 0xE7, 0x3D, 0x9A)
  NS_IMETHOD GetInterfaces(PRUint32* count, nsIID*** array) = 0;
  NS_IMETHOD GetHelperForLanguage(PRUint32 language, nsISupports** helper) = 0;
  NS_IMETHOD GetContractID(char** contractId) = 0;
  NS_IMETHOD GetClassDescription(char** description) = 0;
  NS_IMETHOD GetClassID(nsCID** cid) = 0;
  NS_IMETHOD GetImplementationLanguage(PRUint32* language) = 0;
  NS_IMETHOD GetFlags(PRUint32* flags) = 0;
  NS_IMETHOD GetClassIDNoAlloc(nsCID* cid) = 0;
};
