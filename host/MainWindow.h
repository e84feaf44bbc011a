// The console's main window: the scope tree, the result pane (a list that
// sorts and filters, or an HTML view), the description bar, the standard
// verbs, the snap-in's toolbars, context menus and property sheets.
#pragma once

#include "host/ColumnFit.h"
#include "host/ConsoleSession.h"
#include "host/IconCache.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <map>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QStackedWidget;
class QTextBrowser;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QSplitter;
class QTreeWidgetItem;

namespace zyr::host {

class PropertySheet;
class ResultModel;

class MainWindow : public QMainWindow, public ConsoleObserver {
    Q_OBJECT
public:
    // Observes the session; the session is started afterwards by the caller.
    explicit MainWindow(ConsoleSession& session, QWidget* parent = nullptr);
    // Closes the open sheets and stops the session.
    ~MainWindow() override;

    // Selects the scope item (and shows its result pane).
    void SelectScopeItem(HSCOPEITEM id);
    // The context menu of an item, built from the verbs and the snap-in's
    // items; the caller owns it.
    QMenu* BuildContextMenu(const Target& target);
    // Help Topics and About of the Help menu; the windows they show.
    QWidget* ShowHelp();
    QDialog* ShowAbout();
    // Opens (or raises) the property sheet of the item.
    PropertySheet* OpenProperties(const Target& target);
    std::vector<PropertySheet*> OpenSheets() const;
    // Puts the window where the administrator left it, and keeps where it
    // is left now.
    void RestorePlacement();
    void KeepPlacement();
    // Applies the filter text to the result list.
    void SetFilterText(const QString& text);

    QTreeWidget* ScopeTree() const { return scopeTree_; }
    QTreeView* ResultList() const { return resultList_; }
    QSortFilterProxyModel* ResultProxy() const { return proxy_; }
    QLabel* DescriptionBar() const { return descriptionBar_; }
    // The snap-in's status text: the server and the signed-in account.
    QLabel* StatusText() const { return statusText_; }
    QTextBrowser* HtmlView() const { return htmlView_; }
    QAction* DeleteAction() const { return deleteAction_; }
    QAction* PropertiesAction() const { return propertiesAction_; }
    QAction* RefreshAction() const { return refreshAction_; }
    QAction* FilterAction() const { return filterAction_; }
    QAction* HelpAction() const { return helpAction_; }
    QAction* AboutAction() const { return aboutAction_; }
    QMenu* ActionMenu() const { return actionMenu_; }
    const std::vector<QToolBar*>& SnapinToolbars() const { return snapinToolbars_; }
    QTreeWidgetItem* TreeItem(HSCOPEITEM id) const;
    // The row of the result list (in view order) showing a result item.
    int ViewRowOf(HRESULTITEM id) const;

    // ConsoleObserver
    void ScopeItemInserted(HSCOPEITEM id) override;
    void ScopeItemChanged(HSCOPEITEM id) override;
    void ScopeItemsRemoved(HSCOPEITEM id, bool deleteThis) override;
    void ShownScopeChanged(HSCOPEITEM id) override;
    void ResultPaneChanged() override;
    void DescriptionChanged() override;
    void StatusTextChanged() override;
    void VerbsChanged() override;
    void ToolbarsChanged() override;
    void ImagesChanged() override;
    HWND OwnerWindow() override { return static_cast<QWidget*>(this); }

protected:
    // A resized result pane shares its new width among columns still as fitted.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void BuildMenuBar();
    // "ZYR Security Manager - " and the path of the shown item.
    void UpdateTitle();
    // The snap-in's items and the verbs of target.
    void FillItemMenu(QMenu* menu, const Target& target);
    void RefreshTreeItem(QTreeWidgetItem* item, HSCOPEITEM id);
    // Rebuilds the list from the session; true when the focused row is not
    // among the rows shown.
    bool FillResultList();
    void ForgetTreeItems(QTreeWidgetItem* item);
    void OnTreeCurrentChanged(QTreeWidgetItem* current);
    void OnResultCurrentChanged();
    void OnResultActivated();
    void ShowTreeMenu(QPoint pos);
    void ShowListMenu(QPoint pos);
    void AddSnapinItems(QMenu* menu, const Target& target);
    HRESULTITEM RowIdAt(int viewRow) const;
    // Columns fit their content and share the pane's width, or take the
    // widths the operator left for columns of these titles; KeepColumnWidths
    // keeps the widths shown now when the operator changed them.
    void FitColumns();
    void ShareColumns();
    // True while the columns are as FitColumns left them.
    bool ColumnsAsFitted() const;
    void KeepColumnWidths();

    ConsoleSession& session_;
    IconCache scopeIcons_;
    IconCache resultIcons_;
    std::map<HSCOPEITEM, QTreeWidgetItem*> treeItems_;
    bool syncing_ = false;

    QSplitter* splitter_ = nullptr;
    QTreeWidget* scopeTree_ = nullptr;
    QTreeView* resultList_ = nullptr;
    QObject* resultViewport_ = nullptr;
    // The room the columns want and the widths they got from FitColumns.
    std::vector<ColumnRoom> columnRooms_;
    std::vector<int> fittedWidths_;
    ResultModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QLabel* descriptionBar_ = nullptr;
    QLabel* statusText_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QStackedWidget* resultStack_ = nullptr;
    QTextBrowser* htmlView_ = nullptr;
    QToolBar* verbBar_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* propertiesAction_ = nullptr;
    QAction* refreshAction_ = nullptr;
    QAction* filterAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QMenu* actionMenu_ = nullptr;
    QTextBrowser* helpWindow_ = nullptr;
    std::vector<QToolBar*> snapinToolbars_;
    QStringList columnTitles_;
    std::vector<QPointer<PropertySheet>> sheets_;
};

// Routes MMCPropertyChangeNotify to the session on the console's thread.
void InstallPropertyChangeRouting(ConsoleSession* session);

} // namespace zyr::host
