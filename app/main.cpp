#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel placeholder(QStringLiteral("星梭抽奖"));
    placeholder.show();
    return app.exec();
}
