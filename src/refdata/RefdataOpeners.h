#pragma once

// The reference data windows in the opener table (core/Openers.h).
namespace RefdataOpeners {
// Registers FrmJCdoctor, FrmJCsection, FrmJCbgdc, Frmck, Frmbgxm, FrmMBpart,
// FrmMBassort and FrmMBmanager, each shown modally as the one window of its
// class. Called at start-up.
void registerAll();
}
