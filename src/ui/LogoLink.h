#pragma once

#include <QObject>
#include <QRect>

class QAbstractButton;
class QWidget;
class UrlOpener;

// The maker's pages behind the link area at the bottom of the window.
extern const char* const kChinesePageUrl;
extern const char* const kEnglishPageUrl;

// The link area at the bottom of the window: the hand pointer strictly inside
// it, and a left click there opens the maker's page in the language of the
// selected language button.
class LogoLink : public QObject {
public:
    LogoLink(QWidget& area, QWidget& window, const QAbstractButton& chineseButton, UrlOpener* urls)
        : area_(area), window_(window), chineseButton_(chineseButton), urls_(urls) {}

    // From now on the area answers the mouse, where it lies now.
    void Activate();
    // The area has moved with the window's layout.
    void Follow();
    QRect Area() const { return rect_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Inside(const QPoint& windowPos) const;

    QWidget& area_;
    QWidget& window_;
    const QAbstractButton& chineseButton_;
    UrlOpener* urls_;
    QRect rect_;
};
