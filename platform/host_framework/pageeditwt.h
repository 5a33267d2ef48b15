#pragma once

#include "host_framework_global.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace PCOMMON {

/**
 * @brief Pager under a list: page size, first / previous / next / last page,
 * a page number to go to, and the total.
 *
 * Children: pageSizeCombo, firstBtn, prevBtn, nextBtn, lastBtn, pageEdit,
 * goBtn, pageLabel ("current/count") and totalLabel.
 */
class HOST_FRAMEWORK_EXPORT PageEditWt : public QWidget
{
    Q_OBJECT

public:
    explicit PageEditWt(QWidget* parent = nullptr);
    ~PageEditWt() override;

    /**
     * Sets the number of entries. The current page is kept, even beyond the new count,
     * so that the owner redraws the page the user was on; navigation clamps it.
     */
    void updateTotalCnt(int total);
    int totalCnt() const { return total; }

    int getPageSize() const { return pageSize; }
    /** Sizes below 1 are ignored; a size that the chooser does not offer is added to it. */
    void setPageSize(int size);
    /** The sizes the chooser offers, ascending; the default is 10, 20, 50, 100. */
    void setPageSizes(const QList<int>& sizes);
    QList<int> pageSizes() const;

    /** The current page, 1-based. */
    int getCurPageIndex() const { return curPage; }
    /** ceil(total / page size), at least 1. */
    int pageCount() const;

public slots:
    /** Goes to page (clamped to 1..pageCount()) and emits signalGotoPage. */
    void gotoPage(int page);
    void firstPage();
    void prevPage();
    void nextPage();
    void lastPage();

signals:
    /** The page size changed; the current page went back to 1. */
    void signalPageSizeChanged(int pageSize);
    /** Show page (1-based) with pageSize entries per page. */
    void signalGotoPage(int page, int pageSize);

private:
    void navigate(int page);
    void onPageSizeActivated(int index);
    void refresh();

    QComboBox* sizeCombo = nullptr;
    QPushButton* firstBtn = nullptr;
    QPushButton* prevBtn = nullptr;
    QPushButton* nextBtn = nullptr;
    QPushButton* lastBtn = nullptr;
    QLineEdit* pageEdit = nullptr;
    QPushButton* goBtn = nullptr;
    QLabel* pageLabel = nullptr;
    QLabel* totalLabel = nullptr;
    int total = 0;
    int pageSize = 10;
    int curPage = 1;
};

} // namespace PCOMMON
