// Linked with every object of one layer and the layers below it (src/CMakeLists.txt);
// it only has to link.
int main() { return 0; }
