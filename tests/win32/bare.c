/* A resource-only module: the code is empty. */
int bare_resources_marker;
