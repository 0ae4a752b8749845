/* A resource-only module: the code is empty. */
int noskin_resources_marker;
