#pragma once

#include <QDockWidget>
#include <QListWidget>

namespace tkw {

// The list of log lines: one entry per message, the newest at the bottom and scrolled into view.
class COutputList : public QListWidget {
    Q_OBJECT
public:
    explicit COutputList(QWidget* parent = nullptr);
    void AppendLine(const QString& text);
    // Several lines at once, scrolled once.
    void AppendLines(const QStringList& lines);
    void ClearAll();

private:
    void ShowContextMenu(const QPoint& position);
};

// The docking pane "Log" that holds the list.
class COutputWnd : public QDockWidget {
    Q_OBJECT
public:
    explicit COutputWnd(QWidget* parent = nullptr);
    COutputList* List() const { return m_list; }

private:
    COutputList* m_list;
};

}  // namespace tkw
