#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << "KestrunBrimvale: the main window is not built yet.\n";
    return 1;
}
