/* Size budget: the baseline, a program that uses nothing of the library. */
int main(void) { return 0; }
