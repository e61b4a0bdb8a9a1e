// The file commands of the main window: New, Open, Save, Save As, Import, Export.
#include "app/main_dlg.h"

void CMainDlg::OnNew() {}

void CMainDlg::OnOpen() {}

void CMainDlg::OnSave() {}

void CMainDlg::OnSaveAs() {}

void CMainDlg::OnImport() {}

void CMainDlg::OnExport() {}
