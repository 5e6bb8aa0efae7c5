export const deepest = 2;
