#include "widgets/TFormStorage.h"

#include "core/Exception.h"
#include "core/ProfileFile.h"
#include "core/U_IniFile.h"
#include "widgets/TPageControl.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <numeric>
#include <optional>

#include <utility>
#include <xcb/xcb.h>

namespace {

QObject* childNamed(QObject* root, const QString& name) {
    if (root->objectName().compare(name, Qt::CaseInsensitive) == 0)
        return root;
    const auto all = root->findChildren<QObject*>();
    for (QObject* o : all) {
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return o;
    }
    return nullptr;
}

// Leading and trailing blanks and control characters go.
QString trimmedText(const QString& s) {
    qsizetype from = 0, to = s.size();
    while (from < to && s.at(from).unicode() <= 0x20)
        ++from;
    while (to > from && s.at(to - 1).unicode() <= 0x20)
        --to;
    return s.mid(from, to - from);
}

// Four integers separated by commas or blanks; a missing or non-numeric one
// takes its fallback.
QList<int> fourNumbers(const QString& value, const QList<int>& fallback) {
    const QStringList parts =
        value.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    QList<int> out = fallback;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int n = i < parts.size() ? parts[i].toInt(&ok) : 0;
        if (ok)
            out[i] = n;
    }
    return out;
}

// The window manager's own word on a window's frame (_NET_FRAME_EXTENTS):
// the toolkit asks once and keeps an answer of no frame when it asked before
// the frame was there, which happens on a busy machine.
std::optional<QMargins> x11FrameExtents(const QWidget* w) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        !w->testAttribute(Qt::WA_WState_Created) || !w->isWindow())
        return std::nullopt;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return std::nullopt;
    static const xcb_atom_t atom = [c] {
        const char name[] = "_NET_FRAME_EXTENTS";
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
        const xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
        free(r);
        return a;
    }();
    if (atom == XCB_ATOM_NONE)
        return std::nullopt;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w->winId()), atom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr);
    std::optional<QMargins> out;
    if (r && r->format == 32 && xcb_get_property_value_length(r) == 16) {
        const auto* d = static_cast<const quint32*>(xcb_get_property_value(r));
        out = QMargins(int(d[0]), int(d[2]), int(d[1]), int(d[3])); // left, right, top, bottom
    }
    free(r);
    return out;
}

QMargins frameMargins(const QWidget* w) {
    if (const auto m = x11FrameExtents(w))
        return *m;
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

QRect frameOf(const QWidget* w) {
    return w->geometry().marginsAdded(frameMargins(w));
}

int pixelsPerInch() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

} // namespace

TFormStorage::TFormStorage(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("FormStorage1"));
    m_settling.setSingleShot(true);
    m_settleTick.setInterval(40);
    connect(&m_settleTick, &QTimer::timeout, this, &TFormStorage::settleFrame);
    connect(&m_settling, &QTimer::timeout, this, &TFormStorage::endSettling);
    m_window->installEventFilter(this);
}

QString TFormStorage::screenSuffix() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const QSize size = s ? s->size() : QSize(0, 0);
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

QList<TFormStorage::Prop> TFormStorage::resolvedProps() const {
    QList<Prop> out;
    for (const QString& entry : StoredProps) {
        const qsizetype dot = entry.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            continue;
        const QString comp = entry.left(dot);
        const QString prop = entry.mid(dot + 1);
        QObject* c = childNamed(m_window, comp);
        if (!c)
            continue; // entries naming no component are dropped
        Kind kind = Kind::Text;
        if (prop == QLatin1String("ActivePage"))
            kind = Kind::Page;
        else if (prop == QLatin1String("Width") || prop == QLatin1String("Height"))
            kind = Kind::Integer;
        out.append({c, comp + QLatin1Char('_') + prop, kind, prop});
    }
    return out;
}

QString TFormStorage::readValue(const Prop& p) const {
    switch (p.kind) {
    case Kind::Page: {
        auto* pc = qobject_cast<TPageControl*>(p.component);
        QWidget* page = pc ? pc->activePage() : nullptr;
        return page ? page->objectName() : QString();
    }
    case Kind::Integer: {
        auto* w = qobject_cast<QWidget*>(p.component);
        if (!w)
            return QStringLiteral("0");
        return QString::number(p.property == QLatin1String("Width") ? w->width() : w->height());
    }
    case Kind::Text:
        if (auto* e = qobject_cast<QLineEdit*>(p.component))
            return e->text();
        if (auto* l = qobject_cast<QLabel*>(p.component))
            return l->text();
        return p.component->property(p.property.toLatin1().constData()).toString();
    }
    return {};
}

void TFormStorage::writeValue(const Prop& p, const QString& text) {
    switch (p.kind) {
    case Kind::Page: {
        auto* pc = qobject_cast<TPageControl*>(p.component);
        if (!pc || text.isEmpty())
            return;
        if (text == QLatin1String("(null)")) {
            pc->setActivePage(nullptr);
            return;
        }
        QObject* found = nullptr;
        if (const qsizetype dot = text.indexOf(QLatin1Char('.')); dot >= 0) {
            const QString owner = text.left(dot);
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget* w : windows) {
                if (w->objectName().compare(owner, Qt::CaseInsensitive) == 0) {
                    found = childNamed(w, text.mid(dot + 1));
                    break;
                }
            }
        } else {
            found = childNamed(m_window, text);
        }
        pc->setActivePage(qobject_cast<QWidget*>(found));
        return;
    }
    case Kind::Integer: {
        auto* w = qobject_cast<QWidget*>(p.component);
        if (!w)
            return;
        bool ok = false;
        int v = text.toInt(&ok);
        if (!ok)
            v = 0;
        const bool width = p.property == QLatin1String("Width");
        if (qobject_cast<QSplitter*>(w->parentWidget())) {
            setSplitSize(w, v);
            m_splitSizes.append({w, v});
            return;
        }
        if (width)
            w->resize(v, w->height());
        else
            w->resize(w->width(), v);
        return;
    }
    case Kind::Text:
        if (auto* e = qobject_cast<QLineEdit*>(p.component))
            e->setText(text);
        else if (auto* l = qobject_cast<QLabel*>(p.component))
            l->setText(text);
        else
            p.component->setProperty(p.property.toLatin1().constData(), text);
        return;
    }
}

// Inside a splitter the size is a share of the splitter.
void TFormStorage::setSplitSize(QWidget* w, int size) {
    auto* split = qobject_cast<QSplitter*>(w->parentWidget());
    if (!split)
        return;
    QList<int> sizes = split->sizes();
    const int i = split->indexOf(w);
    const int total = std::accumulate(sizes.begin(), sizes.end(), 0);
    if (i >= 0 && sizes.size() == 2) {
        sizes[i] = size;
        sizes[1 - i] = std::max(0, total - size);
        split->setSizes(sizes);
    }
}

void TFormStorage::settleSplitters() {
    for (const auto& [w, size] : std::as_const(m_splitSizes))
        setSplitSize(w, size);
}

// A window manager frames a window some time after it is shown, later still
// on a busy machine: until then the window's size is its frame's. While the
// window settles, every move or resize that tells more of the frame sets the
// restored rectangle again, or the window would grow by its frame at every
// start (and a maximized one creep upwards by its title bar).
void TFormStorage::startSettling() {
    if (m_splitSizes.isEmpty() && !m_targetFrame.isValid())
        return;
    m_settling.start(kSettleMs);
    // The frame's arrival moves and resizes nothing of the window's inside:
    // it is looked for.
    m_settleTick.start();
}

void TFormStorage::endSettling() {
    m_settleTick.stop();
    m_splitSizes.clear();
    if (m_targetFrame.isValid() && m_window->windowState() == Qt::WindowNoState)
        m_normalFrame = frameOf(m_window);
    m_targetFrame = QRect();
}

bool TFormStorage::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::Move) {
        // The splitter takes its share of the new size first; the sizes follow.
        if (m_targetFrame.isValid())
            QMetaObject::invokeMethod(this, &TFormStorage::settleFrame, Qt::QueuedConnection);
        if (!m_splitSizes.isEmpty())
            QMetaObject::invokeMethod(this, &TFormStorage::settleSplitters, Qt::QueuedConnection);
        if (!m_targetFrame.isValid() && m_window->isVisible() &&
            m_window->windowState() == Qt::WindowNoState)
            m_normalFrame = frameOf(m_window);
    } else if (type == QEvent::WindowStateChange) {
        // Back from maximized or minimized: exactly the last normal rectangle.
        const auto old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        if (old != Qt::WindowNoState && m_window->windowState() == Qt::WindowNoState &&
            m_normalFrame.isValid()) {
            m_targetFrame = m_normalFrame;
            startSettling();
        }
    }
    return QObject::eventFilter(watched, event);
}

// The normal rectangle, frame included: the window's frame while it is
// normal; while it is maximized or minimized, the last normal frame seen (the
// toolkit's own normal geometry of a window that was maximized before its
// frame was known is the frame's rectangle taken as the inside's).
QRect TFormStorage::normalFrame() const {
    if (m_targetFrame.isValid())
        return m_targetFrame; // still settling: where it is going, not where it passes
    if (m_window->windowState() == Qt::WindowNoState || !m_normalFrame.isValid()) {
        if (m_window->windowState() == Qt::WindowNoState)
            return frameOf(m_window);
        QRect normal = m_window->normalGeometry();
        if (!normal.isValid())
            normal = m_window->geometry();
        return normal.marginsAdded(frameMargins(m_window));
    }
    return m_normalFrame;
}

TFormStorage::Placement TFormStorage::currentPlacement() const {
    Placement pl;
    const Qt::WindowStates st = m_window->windowState();
    if (st & Qt::WindowMinimized)
        pl.showCmd = 2;
    else if (st & (Qt::WindowMaximized | Qt::WindowFullScreen))
        pl.showCmd = 3;
    pl.pixelsPerInch = pixelsPerInch();
    // The window system tells nothing of a minimized position; a maximized
    // one is where the frame stands while maximized.
    QPoint maxPos(-1, -1);
    if (pl.showCmd == 3)
        maxPos = frameOf(m_window).topLeft();
    pl.minMaxPos = QStringLiteral("%1,%2,%3,%4").arg(-1).arg(-1).arg(maxPos.x()).arg(maxPos.y());
    const QRect normal = normalFrame();
    pl.normPos = QStringLiteral("%1,%2,%3,%4")
                     .arg(normal.left())
                     .arg(normal.top())
                     .arg(normal.left() + normal.width())
                     .arg(normal.top() + normal.height());
    return pl;
}

void TFormStorage::restorePlacement(T_IniFile& ini) {
    const QString sfx = screenSuffix();
    const auto pick = [&](const QString& key) {
        QString v = ini.ReadString(IniSection, key + sfx, QString());
        if (v.isEmpty())
            v = ini.ReadString(IniSection, key, QString());
        return v;
    };
    const QString minMax = pick(QStringLiteral("MinMaxPos"));
    const QString norm = pick(QStringLiteral("NormPos"));
    bool ppiOk = false;
    int ppi = ini.ReadString(IniSection, QStringLiteral("PixelsPerInch"), QString()).toInt(&ppiOk);
    if (!ppiOk)
        ppi = pixelsPerInch();

    if ((!minMax.isEmpty() || !norm.isEmpty()) && ppi == pixelsPerInch() && !norm.isEmpty()) {
        const QRect g = m_window->geometry();
        QList<int> r =
            fourNumbers(norm, {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
        if (r[2] > r[0]) {
            const QRect target =
                grownToLeastSize(onSomeScreen(QRect(r[0], r[1], r[2] - r[0], r[3] - r[1])));
            r = {target.left(), target.top(), target.left() + target.width(),
                 target.top() + target.height()};
            const QMargins m = frameMargins(m_window);
            m_window->setWindowState(Qt::WindowNoState);
            m_window->move(r[0], r[1]); // a window's position is its frame's
            m_window->resize(std::max(1, r[2] - r[0] - m.left() - m.right()),
                             std::max(1, r[3] - r[1] - m.top() - m.bottom()));
            // A window manager adds its frame only once the window is on the
            // screen; the size is set again then, or the window would grow
            // by its frame at every start.
            m_targetFrame = QRect(r[0], r[1], r[2] - r[0], r[3] - r[1]);
            m_normalFrame = m_targetFrame;
        }
    }

    bool cmdOk = false;
    const int cmd = ini.ReadString(IniSection, QStringLiteral("ShowCmd"), QString()).toInt(&cmdOk);
    Qt::WindowState state = Qt::WindowNoState;
    if (cmdOk && (cmd == 2 || cmd == 6 || cmd == 7))
        state = Qt::WindowMinimized;
    else if (cmdOk && cmd == 3)
        state = Qt::WindowMaximized;
    // The main window minimized stands for the whole program minimized:
    // here that is the main window itself.
    m_window->setWindowState(state);
}

QRect TFormStorage::onSomeScreen(const QRect& frame) {
    // Enough to see the window and take hold of its title bar.
    const int needWidth = std::min(100, frame.width());
    const int needHeight = std::min(40, frame.height());
    const auto screens = QGuiApplication::screens();
    for (const QScreen* s : screens) {
        const QRect seen = s->availableGeometry().intersected(frame);
        if (seen.width() >= needWidth && seen.height() >= needHeight &&
            frame.top() >= s->availableGeometry().top() - 8)
            return frame;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return frame;
    const QRect avail = primary->availableGeometry();
    QRect out(QPoint(0, 0), frame.size().boundedTo(avail.size()));
    out.moveCenter(avail.center());
    return out;
}

// The placement keys hold whichever window closed last: a window restored
// from a smaller one takes at least its own least size (the size at which
// its texts read), and is moved back onto the screen if that growth took it
// over the edge.
QRect TFormStorage::grownToLeastSize(QRect frame) const {
    const QSize least = m_window->minimumSize().grownBy(frameMargins(m_window));
    if (frame.width() >= least.width() && frame.height() >= least.height())
        return frame;
    frame.setSize(frame.size().expandedTo(least));
    const QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return frame;
    const QRect avail = screen->availableGeometry();
    if (frame.right() > avail.right())
        frame.moveRight(avail.right());
    if (frame.bottom() > avail.bottom())
        frame.moveBottom(avail.bottom());
    if (frame.left() < avail.left())
        frame.moveLeft(avail.left());
    if (frame.top() < avail.top())
        frame.moveTop(avail.top());
    return frame;
}

void TFormStorage::settleFrame() {
    // The frame is known now: the least size is the inside's and the frame's.
    if (m_targetFrame.isValid())
        m_targetFrame = grownToLeastSize(m_targetFrame);
    const QRect target = m_targetFrame;
    if (!target.isValid() || !m_window->isVisible() || m_window->windowState() != Qt::WindowNoState)
        return;
    const QRect frame = frameOf(m_window);
    // A window manager may still answer an earlier request after the window
    // looked settled: it is watched to the end of settling.
    if (frame == target)
        return;
    // Sizes asked for, not added: a request still on its way to the window
    // manager must not be counted twice.
    const QMargins m = frameMargins(m_window);
    const QSize inside(std::max(1, target.width() - m.left() - m.right()),
                       std::max(1, target.height() - m.top() - m.bottom()));
    // The inside is placed, so a frame the toolkit does not know of yet
    // cannot shift it.
    const QRect wanted(target.topLeft() + QPoint(m.left(), m.top()), inside);
    if (m_window->geometry() != wanted)
        m_window->setGeometry(wanted);
}

void TFormStorage::restoreProperty(T_IniFile& ini, const Prop& p) {
    const QString current = p.kind == Kind::Page ? QString() : readValue(p);
    writeValue(p, ini.ReadString(IniSection, p.key, current).trimmed());
}

void TFormStorage::RestoreFormPlacement() {
    Saved = false;
    T_IniFile ini(IniFileName);
    bool ok = false;
    int version = ini.ReadString(IniSection, QStringLiteral("FormVersion"), QString()).toInt(&ok);
    if (!ok)
        version = 0;
    if (version >= Version) {
        try {
            if (KeepPlacement)
                restorePlacement(ini);
        } catch (const std::exception& e) {
            const Exception failure = Exception::of(e);
            emit failed(failure.text(), failure.cause());
            return;
        }
        Restored = true;
        m_splitSizes.clear();
        for (const Prop& p : resolvedProps()) {
            try {
                restoreProperty(ini, p);
            } catch (...) {
                // One property that cannot be restored keeps its value.
            }
        }
        startSettling();
    }
    Restored = true;
}

void TFormStorage::SaveFormPlacement(bool destroying) {
    if (!Restored)
        return;
    T_IniFile ini(IniFileName);
    const Placement pl = currentPlacement();
    const QString sfx = screenSuffix();
    const QList<std::pair<QString, QString>> placement = {
        {QStringLiteral("FormVersion"), QString::number(Version)},
        {QStringLiteral("Flags"), QString::number(pl.flags)},
        {QStringLiteral("ShowCmd"), QString::number(pl.showCmd)},
        {QStringLiteral("PixelsPerInch"), QString::number(pl.pixelsPerInch)},
        {QStringLiteral("MinMaxPos") + sfx, pl.minMaxPos},
        {QStringLiteral("MinMaxPos"), pl.minMaxPos},
        {QStringLiteral("NormPos") + sfx, pl.normPos},
        {QStringLiteral("NormPos"), pl.normPos},
        {QStringLiteral("Visible"), destroying ? QStringLiteral("1") : QStringLiteral("0")},
    };
    QList<std::pair<QString, QString>> keys;
    if (KeepPlacement)
        keys = placement;
    for (const Prop& p : resolvedProps()) {
        const QString v = readValue(p);
        if (p.kind == Kind::Page && v.isEmpty())
            continue; // no key while no page is active
        keys.append({p.key, TProfileFile::quotedForWriting(trimmedText(v))});
    }
    if (keys.isEmpty()) {
        Saved = true;
        return;
    }
    // One rewrite of the file: a failure leaves every key as it was.
    if (!ini.WriteStrings(IniSection, keys)) {
        emit failed(QStringLiteral("Unable to write to %1").arg(IniFileName), ini.LastError());
        return;
    }
    Saved = true;
}
