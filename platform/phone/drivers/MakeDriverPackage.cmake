# cmake -DPACKAGE=<file> -P MakeDriverPackage.cmake: a small phone-side
# package, opaque to the PC; its bytes only have to stay the same from build
# to build, so that a test can tell it on the phone.
get_filename_component(folder ${PACKAGE} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
string(REPEAT "Orvex Dialix enhancement driver for second-group phones.\n" 16 body)
file(WRITE ${PACKAGE} "DIALIX-PACKAGE 1\nname=DialixEnhancement\nversion=1.0\n\n${body}")
