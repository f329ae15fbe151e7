// make_input_movie OUT.swf: the input-field movie of the window suites, for the typing check.
#include <cstdio>

#include "tests/app/input_movie.h"
#include "tests/app/test_movies.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_input_movie OUT.swf\n");
        return 2;
    }
    return testmovies::writeFile(QString::fromLocal8Bit(argv[1]), testmovies::inputFieldMovie())
               ? 0
               : 1;
}
