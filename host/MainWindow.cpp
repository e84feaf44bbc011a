#include "host/MainWindow.h"

#include "host/PropertySheet.h"
#include "host/ResultModel.h"
#include "host/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QThread>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace zyr::host {

namespace {

constexpr int ScopeIdRole = Qt::UserRole + 1;

QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

ConsoleSession* g_routedSession = nullptr;

HRESULT RoutePropertyChange(LONG_PTR notifyHandle, LPARAM param)
{
    ConsoleSession* session = g_routedSession;
    if (session == nullptr) {
        return E_UNEXPECTED;
    }
    if (qApp == nullptr || QThread::currentThread() == qApp->thread()) {
        return session->PropertyChanged(notifyHandle, param);
    }
    // A sheet on another thread: the component hears of it on the console's.
    HRESULT hr = E_UNEXPECTED;
    QMetaObject::invokeMethod(
        qApp, [&] { hr = session->PropertyChanged(notifyHandle, param); }, Qt::BlockingQueuedConnection);
    return hr;
}

} // namespace

void InstallPropertyChangeRouting(ConsoleSession* session)
{
    g_routedSession = session;
    InstallPropertyChangeHandler(session != nullptr ? &RoutePropertyChange : nullptr);
}

MainWindow::MainWindow(ConsoleSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session), scopeIcons_(session.ScopeImages()),
      resultIcons_(session.ResultImages())
{
    setObjectName(QStringLiteral("consoleWindow"));
    BuildWidgets();
    session_.SetObserver(this);
    InstallPropertyChangeRouting(&session_);
}

MainWindow::~MainWindow()
{
    for (PropertySheet* sheet : OpenSheets()) {
        sheet->reject();
        delete sheet;
    }
    session_.Stop();
    session_.SetObserver(nullptr);
    InstallPropertyChangeRouting(nullptr);
    // The rows draw their icons from a member that goes before the widgets do.
    proxy_->setSourceModel(nullptr);
    delete model_;
}

void MainWindow::BuildWidgets()
{
    resize(900, 560);

    verbBar_ = addToolBar(tr("Standard"));
    verbBar_->setObjectName(QStringLiteral("verbToolbar"));
    verbBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    deleteAction_ = new QAction(style()->standardIcon(QStyle::SP_TrashIcon), tr("Delete"), this);
    deleteAction_->setObjectName(QStringLiteral("verbDelete"));
    deleteAction_->setShortcut(QKeySequence(Qt::Key_Delete));
    propertiesAction_ =
        new QAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), tr("Properties"), this);
    propertiesAction_->setObjectName(QStringLiteral("verbProperties"));
    propertiesAction_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    refreshAction_ = new QAction(style()->standardIcon(QStyle::SP_BrowserReload), tr("Refresh"), this);
    refreshAction_->setObjectName(QStringLiteral("verbRefresh"));
    refreshAction_->setShortcut(QKeySequence(Qt::Key_F5));
    for (QAction* action : {deleteAction_, propertiesAction_, refreshAction_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        verbBar_->addAction(action);
        addAction(action);
    }
    connect(deleteAction_, &QAction::triggered, this, [this] { session_.DeleteFocus(); });
    connect(refreshAction_, &QAction::triggered, this, [this] { session_.RefreshFocus(); });
    connect(propertiesAction_, &QAction::triggered, this, [this] {
        if (session_.VerbEnabled(MMC_VERB_PROPERTIES)) {
            OpenProperties(session_.Focus());
        }
    });

    auto* splitter = new QSplitter(this);
    splitter_ = splitter;
    scopeTree_ = new QTreeWidget(splitter);
    scopeTree_->setObjectName(QStringLiteral("scopeTree"));
    scopeTree_->setHeaderHidden(true);
    scopeTree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(scopeTree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnTreeCurrentChanged(current); });
    connect(scopeTree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        HSCOPEITEM id = item->data(0, ScopeIdRole).value<qlonglong>();
        if (!syncing_) {
            session_.Expand(id);
        }
        if (treeItems_.count(id) != 0) {
            RefreshTreeItem(item, id); // the open picture
        }
    });
    connect(scopeTree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        RefreshTreeItem(item, item->data(0, ScopeIdRole).value<qlonglong>());
    });
    connect(scopeTree_, &QWidget::customContextMenuRequested, this, &MainWindow::ShowTreeMenu);

    auto* right = new QWidget(splitter);
    auto* layout = new QVBoxLayout(right);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    descriptionBar_ = new QLabel(right);
    descriptionBar_->setObjectName(QStringLiteral("descriptionBar"));
    descriptionBar_->setFrameShape(QFrame::StyledPanel);
    descriptionBar_->setMinimumHeight(descriptionBar_->fontMetrics().height() + 6);
    layout->addWidget(descriptionBar_);
    descriptionBar_->hide(); // until a node sets a description
    filter_ = new QLineEdit(right);
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setPlaceholderText(tr("Filter"));
    filter_->setClearButtonEnabled(true);
    layout->addWidget(filter_);

    resultStack_ = new QStackedWidget(right);
    model_ = new ResultModel(resultIcons_, this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setFilterKeyColumn(-1);
    resultList_ = new QTreeView(resultStack_);
    resultList_->setObjectName(QStringLiteral("resultList"));
    resultList_->setRootIsDecorated(false);
    resultList_->setUniformRowHeights(true);
    resultList_->setSelectionMode(QAbstractItemView::SingleSelection);
    resultList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList_->setContextMenuPolicy(Qt::CustomContextMenu);
    resultList_->setModel(proxy_);
    resultList_->setSortingEnabled(true);
    resultList_->sortByColumn(-1, Qt::AscendingOrder); // insertion order until a header is clicked
    resultList_->header()->setSortIndicatorShown(true);
    resultViewport_ = resultList_->viewport();
    resultViewport_->installEventFilter(this);
    connect(resultList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { OnResultCurrentChanged(); });
    connect(resultList_, &QTreeView::doubleClicked, this, [this] { OnResultActivated(); });
    connect(resultList_, &QWidget::customContextMenuRequested, this, &MainWindow::ShowListMenu);
    connect(filter_, &QLineEdit::textChanged, this, &MainWindow::SetFilterText);
    htmlView_ = new QTextBrowser(resultStack_);
    htmlView_->setObjectName(QStringLiteral("htmlView"));
    htmlView_->setOpenExternalLinks(false);
    resultStack_->addWidget(resultList_);
    resultStack_->addWidget(htmlView_);
    layout->addWidget(resultStack_, 1);

    splitter->addWidget(scopeTree_);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 660});
    setCentralWidget(splitter);
    // A permanent part of the bar: menu hints shown on the left leave it be.
    statusText_ = new QLabel(this);
    statusText_->setObjectName(QStringLiteral("statusText"));
    statusBar()->addPermanentWidget(statusText_);
    BuildMenuBar();
}

// ---- Scope tree ----

QTreeWidgetItem* MainWindow::TreeItem(HSCOPEITEM id) const
{
    auto it = treeItems_.find(id);
    return it == treeItems_.end() ? nullptr : it->second;
}

void MainWindow::RefreshTreeItem(QTreeWidgetItem* item, HSCOPEITEM id)
{
    const ScopeItem* scope = session_.Item(id);
    if (scope == nullptr) {
        return;
    }
    QString name = ToQString(session_.ItemName(id));
    item->setText(0, name);
    if (id == session_.ShownScope()) {
        UpdateTitle();
    }
    bool open = item->isExpanded() || scopeTree_->currentItem() == item;
    item->setIcon(0, scopeIcons_.Icon(session_.ItemImage(id, open)));
    bool mayHaveChildren = !scope->children.empty() || (!scope->expanded && scope->childrenHint != 0);
    item->setChildIndicatorPolicy(mayHaveChildren ? QTreeWidgetItem::ShowIndicator
                                                  : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void MainWindow::ScopeItemInserted(HSCOPEITEM id)
{
    const ScopeItem* scope = session_.Item(id);
    if (scope == nullptr) {
        return;
    }
    syncing_ = true;
    auto* item = new QTreeWidgetItem;
    item->setData(0, ScopeIdRole, QVariant::fromValue<qlonglong>(id));
    treeItems_[id] = item;
    QTreeWidgetItem* parent = TreeItem(scope->parent);
    if (parent == nullptr) {
        scopeTree_->addTopLevelItem(item);
    } else {
        const ScopeItem* parentScope = session_.Item(scope->parent);
        int index = parent->childCount();
        if (parentScope != nullptr) {
            auto at = std::find(parentScope->children.begin(), parentScope->children.end(), id);
            index = std::min<int>(static_cast<int>(at - parentScope->children.begin()), parent->childCount());
        }
        parent->insertChild(index, item);
        RefreshTreeItem(parent, scope->parent);
    }
    RefreshTreeItem(item, id);
    syncing_ = false;
}

void MainWindow::ScopeItemChanged(HSCOPEITEM id)
{
    if (QTreeWidgetItem* item = TreeItem(id)) {
        RefreshTreeItem(item, id);
    }
}

void MainWindow::ForgetTreeItems(QTreeWidgetItem* item)
{
    for (int i = 0; i < item->childCount(); ++i) {
        ForgetTreeItems(item->child(i));
    }
    treeItems_.erase(item->data(0, ScopeIdRole).value<qlonglong>());
}

void MainWindow::ScopeItemsRemoved(HSCOPEITEM id, bool deleteThis)
{
    QTreeWidgetItem* item = TreeItem(id);
    if (item == nullptr) {
        return;
    }
    // The session picks what is shown next; the tree only follows.
    QSignalBlocker blockTree(scopeTree_);
    QSignalBlocker blockSelection(scopeTree_->selectionModel());
    syncing_ = true;
    if (deleteThis) {
        ForgetTreeItems(item);
        delete item;
    } else {
        while (item->childCount() > 0) {
            QTreeWidgetItem* child = item->child(0);
            ForgetTreeItems(child);
            delete child;
        }
    }
    syncing_ = false;
}

void MainWindow::ShownScopeChanged(HSCOPEITEM id)
{
    UpdateTitle();
    QTreeWidgetItem* item = TreeItem(id);
    if (item == nullptr || scopeTree_->currentItem() == item) {
        return;
    }
    QSignalBlocker block(scopeTree_);
    QTreeWidgetItem* previous = scopeTree_->currentItem();
    scopeTree_->setCurrentItem(item);
    if (previous != nullptr) {
        RefreshTreeItem(previous, previous->data(0, ScopeIdRole).value<qlonglong>());
    }
    RefreshTreeItem(item, id);
}

void MainWindow::OnTreeCurrentChanged(QTreeWidgetItem* current)
{
    if (current == nullptr || syncing_) {
        return;
    }
    SelectScopeItem(current->data(0, ScopeIdRole).value<qlonglong>());
}

void MainWindow::SelectScopeItem(HSCOPEITEM id)
{
    QTreeWidgetItem* previous = scopeTree_->currentItem();
    session_.SelectScope(id);
    if (QTreeWidgetItem* item = TreeItem(session_.ShownScope())) {
        QSignalBlocker block(scopeTree_);
        scopeTree_->setCurrentItem(item);
        item->setExpanded(true);
        RefreshTreeItem(item, session_.ShownScope());
    }
    if (previous != nullptr && previous != scopeTree_->currentItem() &&
        treeItems_.count(previous->data(0, ScopeIdRole).value<qlonglong>()) != 0) {
        RefreshTreeItem(previous, previous->data(0, ScopeIdRole).value<qlonglong>());
    }
}

// ---- Result pane ----

void MainWindow::ResultPaneChanged()
{
    const std::string& html = session_.HtmlView();
    if (!html.empty()) {
        QUrl url = QUrl::fromLocalFile(QString::fromStdString(html));
        if (htmlView_->source() != url) {
            htmlView_->setSource(url);
        }
        resultStack_->setCurrentWidget(htmlView_);
        filter_->setVisible(false);
    } else {
        htmlView_->clear();
        resultStack_->setCurrentWidget(resultList_);
        filter_->setVisible(true);
    }

    bool focusHidden = false;
    {
        QSignalBlocker block(resultList_->selectionModel());
        focusHidden = FillResultList();
    }
    if (focusHidden) {
        // The selected item is filtered out: the shown scope item has the focus.
        session_.SelectResult(0);
    }
}

bool MainWindow::FillResultList()
{
    const auto& columns = session_.Columns();
    QStringList titles;
    for (const ResultColumn& column : columns) {
        titles << ToQString(column.title);
    }
    if (titles.isEmpty()) {
        titles << tr("Name");
    }
    if (titles != columnTitles_) {
        // Other columns: the widths of the ones left are kept for their next showing.
        KeepColumnWidths();
        model_->Reset(titles, session_.Rows());
        columnTitles_ = titles;
        FitColumns();
    } else if (ColumnsAsFitted()) {
        // New rows may want more room.
        model_->Reset(titles, session_.Rows());
        FitColumns();
    } else {
        // A reset model resets the header; the operator's widths stay.
        std::vector<int> widths;
        for (int column = 0; column < model_->columnCount(); ++column) {
            widths.push_back(resultList_->columnWidth(column));
        }
        model_->Reset(titles, session_.Rows());
        for (size_t column = 0; column < widths.size(); ++column) {
            resultList_->setColumnWidth(static_cast<int>(column), widths[column]);
        }
    }
    int viewRow = ViewRowOf(session_.Focus().resultId);
    if (viewRow >= 0) {
        resultList_->setCurrentIndex(proxy_->index(viewRow, 0));
        return false;
    }
    resultList_->clearSelection();
    resultList_->setCurrentIndex(QModelIndex());
    return session_.Focus().resultId != 0;
}

void MainWindow::FitColumns()
{
    const std::vector<int> kept = LoadColumnWidths(columnTitles_.join(QLatin1Char('|')));
    const int count = model_->columnCount();
    columnRooms_.clear();
    fittedWidths_.clear();
    if (kept.size() == static_cast<size_t>(count)) {
        for (int column = 0; column < count; ++column) {
            resultList_->setColumnWidth(column, kept[static_cast<size_t>(column)]);
        }
        return;
    }
    // Whole texts and the snap-in's widths where the pane has room; where it
    // has not, every column stays in view, dates whole and other texts at
    // least a dozen characters or their header wide.
    const auto& columns = session_.Columns();
    const int dozen = resultList_->fontMetrics().averageCharWidth() * 12;
    static const QRegularExpression date(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}"));
    // The last column measured before it stretches to the pane's edge.
    resultList_->header()->setStretchLastSection(false);
    for (int column = 0; column < count; ++column) {
        const auto at = static_cast<size_t>(column);
        resultList_->resizeColumnToContents(column);
        ColumnRoom room;
        room.whole = resultList_->columnWidth(column);
        room.preferred = at < columns.size() ? columns[at].width : 0;
        const bool dates = date.match(model_->index(0, column).data().toString()).hasMatch();
        room.least = dates ? room.whole : std::max(resultList_->header()->sectionSizeHint(column), dozen);
        columnRooms_.push_back(room);
    }
    resultList_->header()->setStretchLastSection(true);
    ShareColumns();
}

void MainWindow::ShareColumns()
{
    fittedWidths_ = ShareColumnWidths(columnRooms_, resultList_->viewport()->width());
    for (size_t column = 0; column < fittedWidths_.size(); ++column) {
        resultList_->setColumnWidth(static_cast<int>(column), fittedWidths_[column]);
    }
}

bool MainWindow::ColumnsAsFitted() const
{
    const int count = model_->columnCount();
    if (fittedWidths_.empty() || fittedWidths_.size() != static_cast<size_t>(count)) {
        return false;
    }
    // The last column stretches to the pane's edge.
    for (int column = 0; column + 1 < count; ++column) {
        if (resultList_->columnWidth(column) != fittedWidths_[static_cast<size_t>(column)]) {
            return false;
        }
    }
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == resultViewport_ && event->type() == QEvent::Resize && ColumnsAsFitted()) {
        ShareColumns();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::KeepColumnWidths()
{
    // Widths the console chose are chosen again for the next pane's size.
    if (columnTitles_.isEmpty() || model_->columnCount() != columnTitles_.size() || ColumnsAsFitted()) {
        return;
    }
    std::vector<int> widths;
    for (int column = 0; column < model_->columnCount(); ++column) {
        widths.push_back(resultList_->columnWidth(column));
    }
    SaveColumnWidths(columnTitles_.join(QLatin1Char('|')), widths);
}

int MainWindow::ViewRowOf(HRESULTITEM id) const
{
    const int row = id == 0 ? -1 : model_->RowOf(id);
    return row < 0 ? -1 : proxy_->mapFromSource(model_->index(row, 0)).row();
}

HRESULTITEM MainWindow::RowIdAt(int viewRow) const
{
    return model_->IdAt(proxy_->mapToSource(proxy_->index(viewRow, 0)).row());
}

void MainWindow::SetFilterText(const QString& text)
{
    if (filter_->text() != text) {
        QSignalBlocker block(filter_);
        filter_->setText(text);
    }
    {
        QSignalBlocker block(resultList_->selectionModel());
        proxy_->setFilterFixedString(text);
        int viewRow = ViewRowOf(session_.Focus().resultId);
        if (viewRow >= 0) {
            resultList_->setCurrentIndex(proxy_->index(viewRow, 0));
            return;
        }
        resultList_->clearSelection();
        resultList_->setCurrentIndex(QModelIndex());
    }
    if (session_.Focus().resultId != 0) {
        // The selected item is filtered out: the verbs no longer act on it.
        session_.SelectResult(0);
    }
}

void MainWindow::OnResultCurrentChanged()
{
    QModelIndex current = resultList_->currentIndex();
    session_.SelectResult(current.isValid() ? RowIdAt(current.row()) : 0);
}

void MainWindow::OnResultActivated()
{
    if (!session_.DoubleClickFocus()) {
        return; // the snap-in handled it
    }
    // The default action: a property sheet when that is the default verb,
    // else opening a scope item listed in the pane, else its properties.
    const Target focus = session_.Focus();
    bool properties = session_.VerbEnabled(MMC_VERB_PROPERTIES);
    if (properties && session_.DefaultVerb() == MMC_VERB_PROPERTIES) {
        OpenProperties(focus);
    } else if (focus.scope && focus.scopeId != 0 && focus.resultId != 0) {
        SelectScopeItem(focus.scopeId);
    } else if (properties) {
        OpenProperties(focus);
    }
}

void MainWindow::DescriptionChanged()
{
    descriptionBar_->setText(ToQString(session_.Description()));
    // A node that sets no description (the root) shows no empty strip.
    descriptionBar_->setHidden(descriptionBar_->text().isEmpty());
}

void MainWindow::StatusTextChanged()
{
    statusText_->setText(ToQString(session_.StatusText()));
}

void MainWindow::VerbsChanged()
{
    deleteAction_->setEnabled(session_.VerbEnabled(MMC_VERB_DELETE));
    propertiesAction_->setEnabled(session_.VerbEnabled(MMC_VERB_PROPERTIES));
    refreshAction_->setEnabled(session_.VerbEnabled(MMC_VERB_REFRESH));
}

void MainWindow::ImagesChanged()
{
    for (auto& [id, item] : treeItems_) {
        RefreshTreeItem(item, id);
    }
    if (!session_.Rows().empty()) {
        ResultPaneChanged();
    }
}

// ---- Snap-in toolbars ----

void MainWindow::ToolbarsChanged()
{
    const auto& models = session_.Toolbars();
    while (snapinToolbars_.size() > models.size()) {
        delete snapinToolbars_.back();
        snapinToolbars_.pop_back();
    }
    while (snapinToolbars_.size() < models.size()) {
        auto* bar = addToolBar(tr("Snap-in"));
        bar->setObjectName(QStringLiteral("snapinToolbar%1").arg(snapinToolbars_.size()));
        snapinToolbars_.push_back(bar);
    }
    for (size_t i = 0; i < models.size(); ++i) {
        const ToolbarModel& model = *models[i];
        QToolBar* bar = snapinToolbars_[i];
        bar->clear();
        IconCache icons(model.images);
        for (const ToolbarButton& button : model.buttons) {
            if (button.type & TBSTYLE_SEP) {
                bar->addSeparator();
                continue;
            }
            QIcon icon = icons.Icon(button.image);
            QString text = ToQString(button.text);
            auto* action = bar->addAction(icon, text.isEmpty() ? ToQString(button.tooltip) : text);
            action->setToolTip(ToQString(button.tooltip));
            action->setObjectName(QStringLiteral("button%1").arg(button.command));
            action->setEnabled((button.state & TBSTATE_ENABLED) != 0);
            action->setVisible((button.state & TBSTATE_HIDDEN) == 0);
            const ToolbarModel* target = &model;
            int command = button.command;
            connect(action, &QAction::triggered, this, [this, target, command] {
                // The model may be gone if the snap-in rebuilt its toolbars.
                for (const auto& held : session_.Toolbars()) {
                    if (held.get() == target) {
                        session_.ClickButton(*target, command);
                        return;
                    }
                }
            });
        }
        bar->setToolButtonStyle(model.images.Empty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
        bar->setVisible(model.attached);
    }
}

// ---- Context menus ----

void MainWindow::AddSnapinItems(QMenu* menu, const Target& target)
{
    std::vector<MenuEntry> entries;
    session_.BuildMenu(target,
                       CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK |
                           CCM_INSERTIONALLOWED_VIEW,
                       entries);
    struct Place {
        long point;
        QString submenu;
        const char* objectName;
    };
    const Place places[] = {
        {CCM_INSERTIONPOINTID_PRIMARY_TOP, QString(), ""},
        {CCM_INSERTIONPOINTID_PRIMARY_NEW, tr("New"), "menuNew"},
        {CCM_INSERTIONPOINTID_PRIMARY_TASK, tr("All Tasks"), "menuTasks"},
        {CCM_INSERTIONPOINTID_PRIMARY_VIEW, tr("View"), "menuView"},
    };
    for (const Place& place : places) {
        QMenu* into = nullptr;
        for (const MenuEntry& entry : entries) {
            if (entry.insertionPoint != place.point) {
                continue;
            }
            if (into == nullptr) {
                if (place.submenu.isEmpty()) {
                    into = menu;
                } else {
                    into = menu->addMenu(place.submenu);
                    into->setObjectName(QString::fromLatin1(place.objectName));
                }
            }
            if (entry.flags & MF_SEPARATOR) {
                into->addSeparator();
                continue;
            }
            QAction* action = into->addAction(ToQString(entry.name));
            action->setStatusTip(ToQString(entry.statusText));
            action->setEnabled((entry.flags & (MF_GRAYED | MF_DISABLED)) == 0);
            if (entry.flags & MF_CHECKED) {
                action->setCheckable(true);
                action->setChecked(true);
            }
            long command = entry.commandId;
            connect(action, &QAction::triggered, this,
                    [this, target, command] { session_.Command(target, command); });
            connect(action, &QAction::hovered, this,
                    [this, action] { statusBar()->showMessage(action->statusTip()); });
        }
        if (place.point == CCM_INSERTIONPOINTID_PRIMARY_TOP && into != nullptr) {
            menu->addSeparator();
        }
    }
}

QMenu* MainWindow::BuildContextMenu(const Target& target)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("contextMenu"));
    FillItemMenu(menu, target);
    return menu;
}

void MainWindow::FillItemMenu(QMenu* menu, const Target& target)
{
    if (!target) {
        return;
    }
    AddSnapinItems(menu, target);
    const Target& focus = session_.Focus();
    if (focus.scope != target.scope || focus.scopeId != target.scopeId || focus.resultId != target.resultId) {
        return; // the verbs are known for the focus only
    }
    menu->addSeparator();
    // The verbs as the snap-in set them for this item.
    struct Verb {
        MMC_CONSOLE_VERB verb;
        QAction* action;
    };
    for (const Verb& verb : {Verb{MMC_VERB_REFRESH, refreshAction_}, Verb{MMC_VERB_DELETE, deleteAction_},
                             Verb{MMC_VERB_PROPERTIES, propertiesAction_}}) {
        if (session_.VerbEnabled(verb.verb)) {
            menu->addAction(verb.action);
        }
    }
}

void MainWindow::ShowTreeMenu(QPoint pos)
{
    QTreeWidgetItem* item = scopeTree_->itemAt(pos);
    if (item == nullptr && scopeTree_->currentItem() != nullptr && !scopeTree_->underMouse()) {
        // The menu key: the menu of the current item, beside it.
        item = scopeTree_->currentItem();
        pos = scopeTree_->visualItemRect(item).center();
    }
    if (item == nullptr) {
        return;
    }
    SelectScopeItem(item->data(0, ScopeIdRole).value<qlonglong>());
    QMenu* menu = BuildContextMenu(session_.Focus());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(scopeTree_->viewport()->mapToGlobal(pos));
}

void MainWindow::ShowListMenu(QPoint pos)
{
    QModelIndex index = resultList_->indexAt(pos);
    if (!resultList_->underMouse() && resultList_->currentIndex().isValid()) {
        // The menu key: the menu of the current row, beside it.
        index = resultList_->currentIndex();
        pos = resultList_->visualRect(index).center();
    }
    if (index.isValid()) {
        resultList_->setCurrentIndex(index);
    } else {
        resultList_->clearSelection();
        resultList_->setCurrentIndex(QModelIndex());
    }
    QMenu* menu = BuildContextMenu(session_.Focus());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(resultList_->viewport()->mapToGlobal(pos));
}

// ---- Property sheets ----

std::vector<PropertySheet*> MainWindow::OpenSheets() const
{
    std::vector<PropertySheet*> open;
    for (const auto& sheet : sheets_) {
        if (!sheet.isNull()) {
            open.push_back(sheet.data());
        }
    }
    return open;
}

PropertySheet* MainWindow::OpenProperties(const Target& target)
{
    if (!target) {
        return nullptr;
    }
    // One sheet per item: a second request brings the open one forward.
    for (PropertySheet* sheet : OpenSheets()) {
        const Target& open = sheet->Concerns();
        if (open.scope == target.scope && open.cookie == target.cookie && sheet->isVisible()) {
            sheet->raise();
            sheet->activateWindow();
            return sheet;
        }
    }
    SheetRequest request;
    if (session_.QueryProperties(target, request) != S_OK) {
        return nullptr;
    }
    auto* sheet = new PropertySheet(session_, std::move(request), this);
    sheets_.erase(
        std::remove_if(sheets_.begin(), sheets_.end(), [](const auto& held) { return held.isNull(); }),
        sheets_.end());
    sheets_.emplace_back(sheet);
    sheet->show();
    return sheet;
}

} // namespace zyr::host
