#include "app/menupage.h"

#include "dialogs/artwork.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

namespace kps {
namespace {

QFrame* section(QWidget* parent, const char* name, QRect bounds) {
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setGeometry(bounds);
    return f;
}

QLabel* heading(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->move(at);
    l->adjustSize();
    return l;
}

void setBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Base, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// One row: icon, name edit, path label, "..." and, for source rows, the load button.
void buildRow(MenuPage& m, int i, QWidget* parent, QPoint at) {
    const QString n = QString::number(i + 1);
    const bool source = i < kSourceRows;
    auto* row = new QFrame(parent);
    row->setObjectName(QStringLiteral("LoadPanel") + n);
    row->setGeometry(at.x(), at.y(), 465, 30);
    setBackground(row, QColor(192, 192, 192));

    static const char* const kSourceIcons[kSourceRows] = {"Image3", "Image2", "Image21"};
    auto* icon = new QLabel(row);
    icon->setObjectName(source ? QLatin1String(kSourceIcons[i]) : QStringLiteral("rowIcon") + n);
    icon->setGeometry(3, 3, 24, 24);

    auto* edit = new QLineEdit(row);
    edit->setObjectName(QStringLiteral("Mapi") + n);
    edit->setFrame(false);
    QFont ef(QStringLiteral("Arial"));
    ef.setPixelSize(19);
    edit->setFont(ef);
    edit->setGeometry(31, 3, 142, 24);
    setBackground(edit, QColor(192, 192, 192));

    auto* path = new QLabel(row);
    path->setObjectName(QStringLiteral("path") + n);
    QFont pf(QStringLiteral("Arial"));
    pf.setPixelSize(12);
    pf.setBold(true);
    path->setFont(pf);
    const int pathWidth = source ? 200 : 465 - 177 - 36;
    path->setGeometry(177, 0, pathWidth, 30);

    auto* sel = new QPushButton(QStringLiteral("..."), row);
    sel->setObjectName(QStringLiteral("selbutton") + n);
    sel->setGeometry(source ? 177 + 200 + 2 : 465 - 34, 5, 32, 20);
    sel->setFocusPolicy(Qt::NoFocus);

    m.loadPanels[size_t(i)] = row;
    m.icons[size_t(i)] = icon;
    m.mapi[size_t(i)] = edit;
    m.paths[size_t(i)] = path;
    m.selbuttons[size_t(i)] = sel;
    if (source) {
        auto* load = new QToolButton(row);
        load->setObjectName(QStringLiteral("SpeedButton") + n);
        load->setGeometry(177 + 200 + 2 + 32 + 6, 3, 24, 24);
        load->setAutoRaise(true);
        load->setIconSize(QSize(24, 24));
        load->setFocusPolicy(Qt::NoFocus);
        m.speedButtons[size_t(i)] = load;
    }
}

// The about memo: the program and its version, who made it, how to reach them, its licence.
const QString kAboutText = QStringLiteral("Kovrin Photo Sorter " KPS_VERSION " verzió\n"
                                          "Készítette: a Kovrin csapat\n"
                                          "kovrin@example.org\n"
                                          "Licenc: GPL-3.0-or-later");

} // namespace

void paintSwatch(QPushButton* button, const QColor& colour) {
    QPixmap swatch(button->width() - 12, button->height() - 10);
    swatch.fill(colour);
    button->setIcon(QIcon(swatch));
    button->setIconSize(swatch.size());
    button->setProperty("colour", colour);
}

void showMenuPictures(MenuPage& m, const Artwork& art) {
    m.image23->setPixmap(art.title);
    m.image24->setPixmap(art.folderRedSmall);
    m.image25->setPixmap(art.info);
    m.icons[0]->setPixmap(art.folderSilver);
    for (int i = kSourceRows; i < kMenuRows; ++i)
        m.icons[size_t(i)]->setPixmap(art.folderGrey);
    for (int i = 1; i < kSourceRows; ++i) {
        if (m.icons[size_t(i)]->pixmap().isNull())
            m.icons[size_t(i)]->setPixmap(QPixmap::fromImage(art.rpng[size_t(i + 1)]));
    }
}

MenuPage buildMenuPage(QWidget* parent) {
    MenuPage m;
    m.panel20 = new QFrame(parent);
    m.panel20->setObjectName(QStringLiteral("Panel20"));
    m.panel20->setGeometry(0, 10, 525, 400);
    setBackground(m.panel20, Qt::black);
    m.panel20->hide();

    m.scrollBox1 = new QScrollArea(m.panel20);
    m.scrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    m.scrollBox1->setFrameShape(QFrame::NoFrame);
    m.scrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("ScrollContent"));
    content->setFixedSize(505, 870);
    setBackground(content, QColor(160, 160, 160));
    setBackground(m.scrollBox1->viewport(), QColor(160, 160, 160));

    m.image23 = new QLabel(content);
    m.image23->setObjectName(QStringLiteral("Image23"));
    m.image23->setGeometry(19, 8, 465, 85);
    m.image23->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QFrame* p21 = section(content, "Panel21", QRect(3, 98, 492, 174));
    heading(p21, "StaticText2", QStringLiteral("Elsődleges mappa"), QPoint(20, 1));
    QFrame* p23 = section(content, "Panel23", QRect(3, 278, 492, 314));
    heading(p23, "StaticText3", QStringLiteral("Másodlagos mappák"), QPoint(16, 1));
    QFrame* p24 = section(content, "Panel24", QRect(3, 611, 492, 250));
    heading(p24, "StaticText1", QStringLiteral("Színek, egyéb"), QPoint(16, 10));

    for (int i = 0; i < kMenuRows; ++i) {
        const bool source = i < kSourceRows;
        const int y = 20 + 36 * (source ? i : i - kSourceRows);
        buildRow(m, i, source ? p21 : p23, QPoint(16, y));
    }

    m.image25 = new QLabel(p21);
    m.image25->setObjectName(QStringLiteral("Image25"));
    m.image25->setGeometry(16, 145, 16, 16);
    m.label1 = new QLabel(QStringLiteral("Segítség a használatához"), p21);
    m.label1->setObjectName(QStringLiteral("Label1"));
    QFont lf(QStringLiteral("Arial"));
    lf.setPixelSize(12);
    lf.setBold(true);
    lf.setUnderline(true);
    m.label1->setFont(lf);
    m.label1->move(40, 145);
    m.label1->adjustSize();
    m.label1->setCursor(Qt::PointingHandCursor);

    static const char* const kColourNames[3] = {"ButtonColor2", "ButtonColor3", "ButtonColor4"};
    static const int kColourLeft[3] = {352, 189, 20};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(p24);
        b->setObjectName(QLatin1String(kColourNames[i]));
        b->setGeometry(kColourLeft[i], 33, 117, 25);
        m.buttonColors[size_t(i)] = b;
    }
    m.checkBox1 = new QCheckBox(kSubfolderOption, p24);
    m.checkBox1->setObjectName(QStringLiteral("CheckBox1"));
    m.checkBox1->move(20, 72);
    m.checkBox1->adjustSize();
    m.image24 = new QLabel(p24);
    m.image24->setObjectName(QStringLiteral("Image24"));
    // The red folder follows the option's text, also where a wider substitute font makes the
    // text reach past its usual place.
    m.image24->setGeometry(qMax(175, m.checkBox1->geometry().right() + 2), 73, 18, 16);
    m.checkBox2 = new QCheckBox(kBlinkCursorOption, p24);
    m.checkBox2->setObjectName(QStringLiteral("CheckBox2"));
    m.checkBox2->move(20, 90);
    m.checkBox2->adjustSize();
    m.checkBox3 = new QCheckBox(kCompanionOption, p24);
    m.checkBox3->setObjectName(QStringLiteral("CheckBox3"));
    m.checkBox3->move(20, 108);
    m.checkBox3->adjustSize();
    heading(p24, "StaticText4", QStringLiteral("Készítő:"), QPoint(16, 147));
    m.memo1 = new QPlainTextEdit(p24);
    m.memo1->setObjectName(QStringLiteral("Memo1"));
    m.memo1->setPlainText(kAboutText);
    m.memo1->setReadOnly(true);
    m.memo1->setFrameShape(QFrame::NoFrame);
    m.memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m.memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont mf = m.memo1->font();
    mf.setBold(true);
    m.memo1->setFont(mf);
    m.memo1->setGeometry(16, 170, 278, 89);

    m.scrollBox1->setWidget(content);
    return m;
}

void paintClashRows(MenuPage& m, const ClashCheck& check) {
    for (int i = 0; i < kMenuRows; ++i) {
        QFrame* row = m.loadPanels[size_t(i)];
        QPalette pal = row->palette();
        pal.setColor(QPalette::Window,
                     check.red[size_t(i)] ? QColor(255, 0, 0) : QColor(192, 192, 192));
        row->setPalette(pal);
    }
}

} // namespace kps
