# The JNI host's table of the Java classes (java_classes.inc in <binary dir>/generated), read by
# javap from the classes compiled from java/src; javap_table.cmake writes it. Sets JNIHOST_CLASSES.
get_filename_component(JNIHOST_ROOT ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(JNIHOST_JAVA_DIR ${JNIHOST_ROOT}/java/src/com/velk/internet/tz/common)
file(GLOB JNIHOST_JAVA_SOURCES CONFIGURE_DEPENDS ${JNIHOST_JAVA_DIR}/*.java)
find_program(JNIHOST_JAVAC javac REQUIRED)
file(REAL_PATH "${JNIHOST_JAVAC}" JNIHOST_JAVAC_REAL)
set(JNIHOST_CLASSES ${CMAKE_CURRENT_BINARY_DIR}/generated/java_classes.inc)
add_custom_command(
  OUTPUT ${JNIHOST_CLASSES}
  COMMAND ${CMAKE_COMMAND} -DJAVAC=${JNIHOST_JAVAC_REAL} -DJAVA_DIR=${JNIHOST_JAVA_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/generated/classes -DOUT=${JNIHOST_CLASSES}
          -P ${CMAKE_CURRENT_LIST_DIR}/javap_table.cmake
  DEPENDS ${JNIHOST_JAVA_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/javap_table.cmake
  COMMENT "Reading the compiled Java classes for the JNI host")
