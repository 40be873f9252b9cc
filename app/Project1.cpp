// Main block: placeholder until the windows exist.
#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    return 0;
}
