// The plot commands of the main window: Add, Edit, Delete.
#include "app/main_dlg.h"

void CMainDlg::OnAddPlot() {}

void CMainDlg::OnEditPlot() {}

void CMainDlg::OnDeletePlot() {}
