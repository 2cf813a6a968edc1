#pragma once
// The settings file template embedded in the launcher executable (type "XML").
#define IDR_TOLVIK_SETTINGS_TEMPLATE 140
