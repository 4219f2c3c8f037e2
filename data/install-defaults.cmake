# Copies the shipped defaults into the program folder without overwriting what a user changed.
foreach(f options.ini head.bmp)
  if(EXISTS ${SRC}/${f} AND NOT EXISTS ${DST}/${f})
    file(COPY ${SRC}/${f} DESTINATION ${DST})
  endif()
endforeach()
