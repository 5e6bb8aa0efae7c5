// Second level of the module graph: imported by main.mjs, importing the third.
import { deepest } from "./deep.mjs";
export const line = (name, value) => `${name}: ${typeof value === "string" ? value : JSON.stringify(value)}`;
export const depth = deepest + 1;
