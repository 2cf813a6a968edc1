#pragma once
// Registry locations shared by the programs of the product.

// Machine-wide product key (HKLM) and the per-user key (HKCU) holding AutoLaunch.
#define ZEP_PRODUCT_KEY L"SOFTWARE\\Orvo Corporation\\Velomar Launcher"
#define ZEP_USER_PRODUCT_KEY L"Software\\Orvo Corporation\\Velomar Launcher"
#define ZEP_AUTOLAUNCH_VALUE L"AutoLaunch"
#define ZEP_INSTALLED_PATH_VALUE L"InstalledPath"
// Per-program subkeys of the product key.
#define ZEP_TOLVIK_SUBKEY L"TOLVIK"
#define ZEP_PIRRO_SUBKEY L"PIRRO"
