/* A sample program for the shim-database samples: it only exits. What tells the samples
   apart is their file name and version resource. */
int main(void) {
    return 0;
}
