# Fills the size of a built sample into a catalogue template:
#   cmake -DTEMPLATE=in -DOUTPUT=out -DSAMPLE=exe -DVARIABLE=NAME -P configure_catalogue.cmake
file(SIZE ${SAMPLE} size)
set(${VARIABLE} ${size})
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
