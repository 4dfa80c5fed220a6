# Copies SRC to DST unless DST exists (a settings file the user may have edited).
if(NOT EXISTS "${DST}")
    configure_file("${SRC}" "${DST}" COPYONLY)
endif()
