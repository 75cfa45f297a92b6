# The sanitizers of the native tests and fuzz targets: AddressSanitizer and
# UndefinedBehaviorSanitizer, with every finding fatal.
set(QUILLET_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
